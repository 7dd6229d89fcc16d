#include "platform/linux/block_devices.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace frambit::platform::linux_devices {
namespace {

namespace fs = std::filesystem;

const fs::path kClassBlock = "/sys/class/block";

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// mountinfo writes a space in a path as \040, a tab as \011 and so on.
std::string Unescape(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string digits = field.substr(i + 1, 3);
      if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
        out += static_cast<char>(std::stoi(digits, nullptr, 8));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

}  // namespace

std::vector<std::string> WholeDeviceNames() {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/sys/block", error)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> PartitionNames(const std::string& wholeName) {
  std::vector<std::pair<long long, std::string>> numbered;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(fs::path("/sys/block") / wholeName, error)) {
    const std::string name = entry.path().filename();
    if (const auto number = NumberAttribute(name, "partition")) numbered.emplace_back(*number, name);
  }
  std::sort(numbered.begin(), numbered.end());
  std::vector<std::string> names;
  for (const auto& [number, name] : numbered) names.push_back(name);
  return names;
}

std::vector<std::string> DiskNames() {
  std::vector<std::string> names;
  for (const std::string& name : WholeDeviceNames()) {
    if (StartsWith(name, "ram") || StartsWith(name, "zram") || StartsWith(name, "sr")) continue;
    if (StartsWith(name, "loop") && !fs::exists(fs::path("/sys/block") / name / "loop" / "backing_file")) continue;
    if (NumberAttribute(name, "size").value_or(0) <= 0) continue;
    names.push_back(name);
  }
  return names;
}

std::string NameOf(const std::string& devicePath) {
  struct stat info {};
  if (::stat(devicePath.c_str(), &info) != 0 || !S_ISBLK(info.st_mode)) return "";
  const fs::path link = fs::path("/sys/dev/block") /
                        (std::to_string(major(info.st_rdev)) + ":" + std::to_string(minor(info.st_rdev)));
  std::error_code error;
  const fs::path target = fs::canonical(link, error);
  return error ? "" : target.filename().string();
}

bool IsPartition(const std::string& name) { return NumberAttribute(name, "partition").has_value(); }

std::string WholeNameOf(const std::string& name) {
  if (!IsPartition(name)) return name;
  std::error_code error;
  const fs::path device = fs::canonical(kClassBlock / name, error);
  return error ? name : device.parent_path().filename().string();
}

std::string NodeOf(const std::string& name) {
  std::string node = "/dev/" + name;
  std::replace(node.begin() + 5, node.end(), '!', '/');
  return node;
}

std::optional<long long> NumberAttribute(const std::string& name, const std::string& attribute) {
  std::ifstream in(kClassBlock / name / attribute);
  long long value = 0;
  if (!(in >> value)) return std::nullopt;
  return value;
}

std::optional<Mount> MountOf(const std::string& devicePath) {
  struct stat device {};
  if (::stat(devicePath.c_str(), &device) != 0 || !S_ISBLK(device.st_mode)) return std::nullopt;
  const std::string number = std::to_string(major(device.st_rdev)) + ":" + std::to_string(minor(device.st_rdev));
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  // id parent major:minor root mount-point options [optional...] - type source super-options
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parent, majorMinor, root, mountPoint, field;
    fields >> id >> parent >> majorMinor >> root >> mountPoint;
    while (fields >> field && field != "-") {
    }
    std::string type, source;
    fields >> type >> source;
    // A btrfs mount shows an anonymous number; its source still names the device.
    struct stat sourceInfo {};
    const bool sameSource = StartsWith(source, "/") && ::stat(Unescape(source).c_str(), &sourceInfo) == 0 &&
                            S_ISBLK(sourceInfo.st_mode) && sourceInfo.st_rdev == device.st_rdev;
    if (majorMinor == number || sameSource) return Mount{Unescape(mountPoint), type};
  }
  return std::nullopt;
}

}  // namespace frambit::platform::linux_devices
