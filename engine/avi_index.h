#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/avi_header.h"
#include "engine/chunk_chain.h"
#include "engine/run_plan.h"

namespace frambit {

// The data bytes an indx super index of segmentCount entries needs.
std::uint64_t SuperIndexBytes(std::size_t segmentCount);

// The sample's header list fitted to the planned file: RIFF and movie list
// sizes, avih flags (an index follows), frame counts, each stream's length
// and buffer size, dmlh. The sample's own super indexes point into the
// sample: they become JUNK, or, in an OpenDML file, super indexes of the
// file's own ix## chunks.
std::vector<std::byte> FitHeader(std::vector<std::byte> header, const AviHeader& layout, const RunPlan& plan);

// Key-frame flags, one per chunk of the run.
using KeyFlags = std::vector<std::uint8_t>;

// The RIFF AVIX and LIST movi headers that open a later segment.
std::vector<std::byte> ExtensionHead(const RunPlan& plan, std::size_t segment);

// A stream's ix## standard index of one segment.
std::vector<std::byte> StandardIndex(const ChunkRun& run, const RunPlan& plan, std::size_t segment, std::size_t stream,
                                     const MovieChunkIds& ids, const KeyFlags& key);

// The idx1 of the first segment, with offsets from the "movi" tag.
std::vector<std::byte> Idx1(const ChunkRun& run, const RunPlan& plan, const MovieChunkIds& ids, const KeyFlags& key);

}  // namespace frambit
