#pragma once

// Every text of the target menu.

namespace frambit::texts {

inline constexpr char kOpenImageCaption[] = "打开磁盘镜像";
inline constexpr char kSeparatorCaption[] = "-";

}  // namespace frambit::texts
