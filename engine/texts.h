#pragma once

// Every text the engine shows the user.

namespace frambit::texts {

inline constexpr char kNoTarget[] = "请选择恢复目标!";
inline constexpr char kNoOutputFolder[] = "请选择保存路径!";
inline constexpr char kNoSample[] = "请选择样本文件!";
inline constexpr char kOutputFolderPlaceholder[] = "...点击选择目录...";
inline constexpr char kSampleUnreadable[] = "样本无法访问!";
inline constexpr char kPauseCaption[] = "暂停";
inline constexpr char kPauseQuestion[] = "是否继续？";
inline constexpr char kFragmentCountPrefix[] = "碎片: ";

// Reasons added below kSampleUnreadable, so the user knows what to fix.
inline constexpr char kSampleNotAvi[] = "不是 AVI 文件（开头没有 RIFF AVI 文件头）: ";
inline constexpr char kSampleWithoutMovi[] = "文件中没有 movi 数据段: ";
inline constexpr char kSampleEmpty[] = "文件为空: ";

// {0} is a byte count.
inline constexpr char kUnreadableBytes[] = "恢复目标中有 {0} 字节无法读取（坏扇区或目标在读取时变短），已按零字节处理。";
// {0} is the output file, {1} the target.
inline constexpr char kOutputIsTarget[] = "输出文件 \"{0}\" 就是恢复目标 \"{1}\"，为保护目标不予覆盖。请换一个保存路径。";

// The free-space session: no allocation map could be read from the target.
inline constexpr char kLoadFailed[] = "#11 - 加载失败!";
// The names of the bitmap request's statuses.
inline constexpr char kStatusSuccess[] = "STATUS_SUCCESS";
inline constexpr char kStatusInvalidParameter[] = "STATUS_INVALID_PARAMETER";
inline constexpr char kStatusInvalidDeviceRequest[] = "STATUS_INVALID_DEVICE_REQUEST";
inline constexpr char kStatusAlreadyCommitted[] = "STATUS_ALREADY_COMMITTED";
inline constexpr char kStatusBufferTooSmall[] = "STATUS_BUFFER_TOO_SMALL";

// Why "智能恢复" cannot fit its files to a sample's header list.
// {0} is one of the reasons below, {1} the sample.
inline constexpr char kSampleHeaderUnusable[] = "样本的文件头无法解析（{0}），不能据此智能恢复: {1}";
inline constexpr char kHeaderNotRiffAvi[] = "开头不是 RIFF AVI";
// {0} is a byte offset in the sample.
inline constexpr char kHeaderCutShort[] = "文件头在第 {0} 字节处被截断";
inline constexpr char kHeaderSizePastEnd[] = "第 {0} 字节处的数据块大小超出了它所在的列表";
inline constexpr char kHeaderWithoutHdrl[] = "缺少 hdrl 文件头列表";
inline constexpr char kHeaderWithoutAvih[] = "缺少 avih 主文件头";
// {0} is the stream's number, from 0.
inline constexpr char kHeaderStreamWithoutStrh[] = "第 {0} 号流缺少 strh 流头";
// {0} is the number of streams found, {1} the limit.
inline constexpr char kHeaderTooManyStreams[] = "有 {0} 个流，最多支持 {1} 个";
inline constexpr char kHeaderWithoutMedia[] = "没有视频流或音频流";
inline constexpr char kHeaderMoviMisplaced[] = "movi 数据段不紧跟在文件头列表之后";

}  // namespace frambit::texts
