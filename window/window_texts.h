#pragma once

// Every text the window shows the user. The texts the engine also uses (the
// pause question, the fragment count, the output-folder placeholder) stay in
// engine/texts.h.

namespace frambit::texts {

inline constexpr char kCaptionPrefix[] = "Frambit 专业版 by ";

// Toolbar RzToolbar1, left to right.
inline constexpr char kToolBoxCaption[] = "工具箱";
inline constexpr char kTargetCaption[] = "恢复目标";
inline constexpr char kSaveCaption[] = "保存路径";
inline constexpr char kSampleCaption[] = "选择样本";
inline constexpr char kRunCaption[] = "恢复";
inline constexpr char kFullDiskCaption[] = "全盘恢复";
inline constexpr char kFreeSpaceCaption[] = "恢复剩余空间";
inline constexpr char kSmartCaption[] = "智能恢复";
inline constexpr char kPauseButtonCaption[] = "暂停";
inline constexpr char kStopCaption[] = "停止";
inline constexpr char kUpdateCaption[] = "在线升级";
inline constexpr char kSupportCaption[] = "技术支持";
inline constexpr char kHelpCaption[] = "帮助文档";
inline constexpr char kExitCaption[] = "退出";

// The maker's other services in the 工具箱 menu; they carry no action.
inline constexpr const char* kToolBoxEntries[] = {"数据恢复服务", "硬盘开盘恢复", "RAID 数据恢复", "手机数据恢复"};


// Menu bar.
inline constexpr char kFileMenuCaption[] = "文件";
inline constexpr char kCloseCaption[] = "关闭";
inline constexpr char kHelpMenuCaption[] = "帮助";
inline constexpr char kAboutCaption[] = "关于";

// Contact panel.
inline constexpr char kStartScanCaption[] = "开始扫描";
inline constexpr char kServiceCaption[] = "人工服务";
inline constexpr char kVisitSiteCaption[] = "访问官网";
inline constexpr char kChatAccountPrefix[] = "联系客服QQ：";
inline constexpr char kStartScanHint[] = "请点击快捷方式栏中的恢复目标按钮，选择需要扫描的磁盘！";

// Status bar and the hidden check box.
inline constexpr char kTimeStartCaption[] = "剩余时间:";
inline constexpr char kTimeCaptionPrefix[] = "剩余时间: ";
inline constexpr char kFragmentStartCaption[] = "发现碎片:";
inline constexpr char kScanFreeCaption[] = "仅扫描剩余空间";
inline constexpr char kMinSecSeparator[] = " : ";

// Output folder and file list.
inline constexpr char kBrowseFolderTitle[] = "选择保存路径: ";
inline constexpr char kDatabaseExtension[] = ".mdb";
inline constexpr char kDatabaseQuestion[] = "是否将修复后的数据库文件导入重组?";
inline constexpr char kDatabaseCaption[] = "重组";

}  // namespace frambit::texts
