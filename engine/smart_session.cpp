#include "engine/smart_session.h"

#include <fmt/format.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/avi_header.h"
#include "engine/chunk_chain.h"
#include "engine/little_endian.h"
#include "engine/run_output.h"
#include "engine/sample_capture.h"
#include "engine/sector_reader.h"
#include "engine/smart_writer.h"
#include "engine/texts.h"
#include "platform/user_error.h"

namespace frambit {
namespace {

constexpr std::int64_t kGaugeUnitBytes = 1024;

// The header is read and parsed before the busy period; on failure the
// sample is consumed all the same.
AviHeader ParseSampleHeader(SessionState& state, std::vector<std::byte>& header, const ScanOptions& options) {
  try {
    header = ReadWholeFile(state.SampleHeaderPath, options.openInput);
    return ParseAviHeader(header);
  } catch (const UserError& failure) {
    // The captured header is named after the sample: "<sample>.bin".
    const std::string sample = std::filesystem::path(state.SampleHeaderPath).stem().string();
    ReleaseSampleHeader(state);
    if (header.empty()) throw;
    throw UserError(std::string(texts::kSampleUnreadable) + "\r" +
                    fmt::format(texts::kSampleHeaderUnusable, failure.what(), sample));
  }
}

FragmentOutput WriteSmartRuns(SessionState& state, SessionView& view, const std::vector<std::byte>& header,
                              const AviHeader& layout, const MovieChunkIds& ids, const ScanOptions& options) {
  const HitList& hits = *state.Hits;
  if (hits.empty()) return {};
  const auto source = options.openInput(state.SourcePath);
  std::vector<std::byte> scratch;
  const auto isRecordList = [&](std::int64_t offset) {
    std::int64_t ignored = 0;  // a missing list type is no list type
    const auto type = SectorAlignedRead(*source, 4, offset + 8, scratch, ignored);
    return LoadLittleEndian32(type.data()) == FourCc("rec ");
  };
  SmartRunWriter writer(view, state.SourcePath, view.OutputFolderText(), header, layout, ids, options.openInput);
  view.SetProgressRange(0, state.SourceSize / kGaugeUnitBytes);
  FollowChains(hits, ids, state.SourceSize, isRecordList, [&](const ChunkRun& run) {
    view.SetProgress(run.start / kGaugeUnitBytes);
    writer.Write(run);
  });
  return writer.Output();
}

}  // namespace

ScanSummary RunSmartSession(SessionState& state, SessionView& view, const ScanOptions& options) {
  if (!InputsChosen(state, view)) return {};
  std::vector<std::byte> header;
  const AviHeader layout = ParseSampleHeader(state, header, options);
  const MovieChunkIds ids(layout);
  const std::vector<SignatureSet> signatureSets = SplitForVectorSearch(ids.Patterns(), EmptyChunks::Keep);
  return ScanThenWrite(
      state, view, signatureSets, false, [&] { return WriteSmartRuns(state, view, header, layout, ids, options); },
      options);
}

}  // namespace frambit
