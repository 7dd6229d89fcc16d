#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/avi_header.h"
#include "engine/chunk_chain.h"
#include "engine/fragment_writer.h"
#include "engine/run_plan.h"
#include "engine/session_view.h"
#include "platform/input_stream.h"

namespace frambit {

// Writes chunk runs as <outputFolder>/1.AVI, 2.AVI, ..., each behind a copy
// of the sample's header fitted to the run, with an idx1 index; a run of
// more than kRiffSegmentBytes as OpenDML. The target is only ever read; an
// existing file of the same name is replaced.
class SmartRunWriter {
 public:
  SmartRunWriter(SessionView& view, std::string sourcePath, std::string outputFolder, std::vector<std::byte> header,
                 AviHeader layout, const MovieChunkIds& ids, platform::InputOpener openInput);

  // Throws UserError when the target or an output file fails; a file cut
  // short is named in the message.
  void Write(const ChunkRun& run);

  const FragmentOutput& Output() const { return output_; }

 private:
  void WriteFile(const ChunkRun& run, std::vector<RiffSegment> segments, bool openDml);
  bool HasIndexSpace(const ChunkRun& run, std::size_t segmentCount) const;

  SessionView& view_;
  std::string sourcePath_;
  std::string outputFolder_;
  std::vector<std::byte> header_;
  AviHeader layout_;
  const MovieChunkIds& ids_;
  platform::InputOpener openInput_;
  std::vector<std::byte> scratch_;
  std::vector<std::byte> probeScratch_;
  FragmentOutput output_;
};

}  // namespace frambit
