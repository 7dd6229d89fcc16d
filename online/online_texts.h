#pragma once

// Every text the update check and the support request show or send. "\r"
// is a line break, as in the window's plain messages.

namespace frambit::texts {

// The product title as the servers know it.
inline constexpr char kProductTitle[] = "Frambit";

// Update check.
inline constexpr char kNoUpdateCaption[] = "提醒";
inline constexpr char kNoUpdateQuestion[] = "未检测到新版本,您使用的已经是最新版本!\r是否去网站看看?";
inline constexpr char kUpdateCaptionPrefix[] = "Frambit 专业版 ";
inline constexpr char kUpdateCaptionSuffix[] = " 升级提醒";
inline constexpr char kUpdateIntro[] = "发现Frambit 专业版最新版本!\r是否立刻下载更新软件到最新版本?\r\r更新功能如下:";
inline constexpr char kUpdateSiteGap[] = "\r\r\r";
inline constexpr char kUpdateSitePrefix[] = "官方网站: ";
inline constexpr char kUpdateUserAgent[] = "Mozilla/3.0 (compatible; Indy Library)";
inline constexpr char kUpdateAccept[] = "text/html, */*";

// Support request: the main window's announcement, then the form Form3.
inline constexpr char kSupportAnnouncement[] = "即将为您接通人工服务，请如实填写资料，工程师将主动与您联系。";
inline constexpr char kSupportFormCaption[] = "联系工程师";
inline constexpr char kSupportIntro[] = "填写表单内容，工程师将在5分钟内与您联系：";
inline constexpr char kSupportNameLabel[] = "*  您的称呼：";
inline constexpr char kSupportPhoneLabel[] = "*  您的电话号码：";
inline constexpr char kSupportChatLabel[] = "QQ号码(没有可以不填)：";
inline constexpr char kSupportKindsCaption[] = "要恢复的类型";
inline constexpr char kSupportMediaCaption[] = "存储介质";
inline constexpr char kSupportMemoLabel[] = "备注：（可以填写详细一点的情况，方便工程师了解情况）";
inline constexpr char kSupportSubmitCaption[] = "提交表单";
inline constexpr char kSupportChatButton[] = "联系客服QQ";
inline constexpr char kSupportPhonePrefix[] = "客服电话：";
inline constexpr char kSupportChatPrefix[] = "，客服QQ:";
inline constexpr char kSupportNameEmpty[] = "称呼不能为空，谢谢";
inline constexpr char kSupportPhoneEmpty[] = "联系电话不能为空，谢谢";
inline constexpr char kSupportTooLong[] = "内容超长";
inline constexpr char kSupportSent[] = "发送成功！";
inline constexpr char kSupportFailed[] = "提交失败！请检查网络";

}  // namespace frambit::texts
