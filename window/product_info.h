#pragma once

// The product's own names and addresses, shown in the caption and the
// contact panel.

namespace frambit::product {

inline constexpr char kProductSiteName[] = "frambit.example";
inline constexpr char kProductSiteUrl[] = "https://www.frambit.example/";
inline constexpr char kServiceChatAccount[] = "800012345";

}  // namespace frambit::product
