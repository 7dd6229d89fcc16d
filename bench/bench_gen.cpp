// frambit-bench-gen: writes the benchmark disk images used by bench/run.sh.
//
//   frambit-bench-gen random OUT SIZE [--every BYTES] [--seed N] [--manifest FILE]
//                     (--avi FILE | --avi-as-db FILE)...
//       Pseudo-random bytes (xoshiro256**) with copies of the movie-list payload of
//       the given AVI files (the chunks behind 'movi') embedded at unaligned offsets,
//       one copy in every slot of --every bytes (default 64 MiB). --avi-as-db
//       relabels the file's "00dc" chunks as "00db" (uncompressed frames).
//       The manifest lists every copy: offset, length, movie chunks, source.
//
//   frambit-bench-gen digits OUT SIZE [--seed N]
//       Random ASCII decimal digits '0'..'9'.
//
//   frambit-bench-gen movi AVI OUT [--as-db]
//       Only extract the movie-list payload of AVI into OUT.
//
// SIZE and BYTES take an optional binary suffix: K, M, G, T (also KiB, MiB, ...).
// The image is written to OUT.partial and renamed to OUT when complete, so a
// file named OUT is always a finished image.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------
// Pseudo-random numbers: splitmix64 for seeding, xoshiro256** for the stream.

std::uint64_t splitmix64(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

class Xoshiro256 {
public:
    explicit Xoshiro256(std::uint64_t seed) {
        for (auto& word : s_) {
            word = splitmix64(seed);
        }
    }

    std::uint64_t next() {
        const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }

    // Value in [0, bound), bound > 0; the modulo bias is irrelevant here.
    std::uint64_t below(std::uint64_t bound) { return next() % bound; }

    void fill(std::span<unsigned char> out) {
        std::size_t i = 0;
        for (; i + 8 <= out.size(); i += 8) {
            const std::uint64_t v = next();
            std::memcpy(out.data() + i, &v, 8);
        }
        if (i < out.size()) {
            const std::uint64_t v = next();
            std::memcpy(out.data() + i, &v, out.size() - i);
        }
    }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::array<std::uint64_t, 4> s_{};
};

// ---------------------------------------------------------------------------
// Helpers

std::uint64_t parse_size(std::string_view text) {
    if (text.empty()) {
        throw Error("empty size");
    }
    std::uint64_t value = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (value > (UINT64_MAX - digit) / 10) {
            throw Error("size too large: " + std::string(text));
        }
        value = value * 10 + digit;
    }
    if (i == 0) {
        throw Error("bad size: " + std::string(text));
    }
    std::string suffix(text.substr(i));
    for (auto& c : suffix) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    unsigned shift = 0;
    if (suffix.empty() || suffix == "B") {
        shift = 0;
    } else if (suffix == "K" || suffix == "KIB" || suffix == "KB") {
        shift = 10;
    } else if (suffix == "M" || suffix == "MIB" || suffix == "MB") {
        shift = 20;
    } else if (suffix == "G" || suffix == "GIB" || suffix == "GB") {
        shift = 30;
    } else if (suffix == "T" || suffix == "TIB" || suffix == "TB") {
        shift = 40;
    } else {
        throw Error("bad size suffix: " + std::string(text));
    }
    if (shift != 0 && value > (UINT64_MAX >> shift)) {
        throw Error("size too large: " + std::string(text));
    }
    return value << shift;
}

std::vector<unsigned char> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw Error("cannot open " + path);
    }
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        throw Error("cannot read " + path);
    }
    return data;
}

std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool fourcc_is(const unsigned char* p, std::string_view id) { return std::memcmp(p, id.data(), 4) == 0; }

std::string base_name(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ---------------------------------------------------------------------------
// AVI movie-list extraction

struct Payload {
    std::string name;
    std::vector<unsigned char> bytes;  // chunks that followed 'movi'
    std::uint64_t movie_chunks = 0;    // "00dc" / "00db" chunks among them
};

Payload extract_movi(const std::string& path, bool as_db) {
    const std::vector<unsigned char> file = read_file(path);
    if (file.size() < 12 || !fourcc_is(file.data(), "RIFF") || !fourcc_is(file.data() + 8, "AVI ")) {
        throw Error(path + ": not an AVI file");
    }
    const std::uint64_t riff_end = std::min<std::uint64_t>(file.size(), 8ULL + le32(file.data() + 4));
    std::uint64_t pos = 12;
    while (pos + 12 <= riff_end) {
        const unsigned char* chunk = file.data() + pos;
        const std::uint64_t size = le32(chunk + 4);
        if (fourcc_is(chunk, "LIST") && fourcc_is(chunk + 8, "movi")) {
            if (size < 4) {
                throw Error(path + ": empty movie list");
            }
            const std::uint64_t begin = pos + 12;
            const std::uint64_t end = std::min<std::uint64_t>(pos + 8 + size, file.size());
            Payload payload;
            payload.name = base_name(path) + (as_db ? " (as 00db)" : "");
            payload.bytes.assign(file.begin() + static_cast<std::ptrdiff_t>(begin),
                                 file.begin() + static_cast<std::ptrdiff_t>(end));
            // Walk the chunks: count movie chunks and relabel if asked.
            std::uint64_t at = 0;
            while (at + 8 <= payload.bytes.size()) {
                unsigned char* sub = payload.bytes.data() + at;
                const std::uint64_t sub_size = le32(sub + 4);
                if (as_db && fourcc_is(sub, "00dc")) {
                    sub[3] = 'b';
                }
                if (fourcc_is(sub, "00dc") || fourcc_is(sub, "00db")) {
                    ++payload.movie_chunks;
                }
                at += 8 + sub_size + (sub_size & 1);
            }
            if (payload.movie_chunks == 0) {
                throw Error(path + ": movie list holds no 00dc/00db chunks");
            }
            return payload;
        }
        pos += 8 + size + (size & 1);
    }
    throw Error(path + ": no movie list found");
}

// ---------------------------------------------------------------------------
// Image writing

struct Placement {
    std::uint64_t offset = 0;
    const Payload* payload = nullptr;
};

class Output {
public:
    explicit Output(std::string path) : path_(std::move(path)), partial_(path_ + ".partial") {
        fd_ = ::open(partial_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd_ < 0) {
            throw Error("cannot create " + partial_ + ": " + std::strerror(errno));
        }
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    ~Output() {
        if (fd_ >= 0) {
            ::close(fd_);
            ::unlink(partial_.c_str());
        }
    }

    void write(std::span<const unsigned char> data) {
        while (!data.empty()) {
            const ssize_t n = ::write(fd_, data.data(), data.size());
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                throw Error("write to " + partial_ + " failed: " + std::strerror(errno));
            }
            data = data.subspan(static_cast<std::size_t>(n));
        }
    }

    void commit() {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) {
            ::unlink(partial_.c_str());
            throw Error("close of " + partial_ + " failed: " + std::strerror(errno));
        }
        if (std::rename(partial_.c_str(), path_.c_str()) != 0) {
            ::unlink(partial_.c_str());
            throw Error("cannot rename " + partial_ + " to " + path_ + ": " + std::strerror(errno));
        }
    }

private:
    std::string path_;
    std::string partial_;
    int fd_ = -1;
};

constexpr std::size_t kBufferSize = 8U << 20;

// '0'..'9', one digit per 16 random bits (bias below 1e-4).
void fill_digits(Xoshiro256& rng, std::span<unsigned char> out) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i % 4 == 0) {
            v = rng.next();
        }
        out[i] = static_cast<unsigned char>('0' + (((v & 0xffffU) * 10U) >> 16));
        v >>= 16;
    }
}

enum class Fill { random, digits };

void write_image(const std::string& out_path, std::uint64_t size, Fill fill, std::uint64_t seed,
                 const std::vector<Placement>& placements) {
    Output out(out_path);
    Xoshiro256 rng(seed);
    std::vector<unsigned char> buffer(kBufferSize);
    std::size_t next = 0;  // first placement that may still overlap
    const auto started = std::chrono::steady_clock::now();
    for (std::uint64_t pos = 0; pos < size; pos += buffer.size()) {
        const std::size_t len = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - pos));
        std::span<unsigned char> block(buffer.data(), len);
        if (fill == Fill::digits) {
            fill_digits(rng, block);
        } else {
            rng.fill(block);
        }
        for (std::size_t i = next; i < placements.size(); ++i) {
            const Placement& p = placements[i];
            const std::uint64_t p_end = p.offset + p.payload->bytes.size();
            if (p.offset >= pos + len) {
                break;
            }
            if (p_end <= pos) {
                next = i + 1;
                continue;
            }
            const std::uint64_t from = std::max(p.offset, pos);
            const std::uint64_t to = std::min(p_end, pos + len);
            std::memcpy(block.data() + (from - pos), p.payload->bytes.data() + (from - p.offset), to - from);
        }
        out.write(block);
    }
    out.commit();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fprintf(stderr, "frambit-bench-gen: wrote %s: %llu bytes in %.2f s (%.0f MB/s)\n", out_path.c_str(),
                 static_cast<unsigned long long>(size), seconds,
                 seconds > 0 ? static_cast<double>(size) / seconds / 1e6 : 0.0);
}

std::vector<Placement> plan_placements(std::uint64_t size, std::uint64_t every, std::uint64_t seed,
                                       const std::vector<Payload>& payloads) {
    std::vector<Placement> placements;
    if (payloads.empty()) {
        return placements;
    }
    // A separate stream so the layout does not depend on how the fill is drawn.
    Xoshiro256 rng(seed ^ 0x6a09e667f3bcc909ULL);
    std::uint64_t slot = 0;
    for (std::uint64_t slot_begin = 0; slot_begin < size; slot_begin += every, ++slot) {
        const std::uint64_t slot_end = std::min(slot_begin + every, size);
        const Payload& payload = payloads[slot % payloads.size()];
        const std::uint64_t len = payload.bytes.size();
        if (len + 2 > slot_end - slot_begin) {
            continue;  // only a short tail slot can be too small
        }
        std::uint64_t offset = slot_begin + rng.below(slot_end - slot_begin - len - 1);
        if (offset % 4 == 0) {
            offset += 1;  // never on a 4-byte boundary, let alone a sector or a block
        }
        placements.push_back({offset, &payload});
    }
    return placements;
}

void write_manifest(const std::string& path, std::uint64_t size, std::uint64_t every,
                    const std::vector<Placement>& placements) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) {
        throw Error("cannot create " + path + ": " + std::strerror(errno));
    }
    std::uint64_t bytes = 0;
    std::uint64_t chunks = 0;
    std::fprintf(f, "# frambit benchmark image: %llu bytes, one movie-list copy every %llu bytes\n",
                 static_cast<unsigned long long>(size), static_cast<unsigned long long>(every));
    std::fprintf(f, "# offset length movie_chunks source\n");
    for (const auto& p : placements) {
        std::fprintf(f, "%llu %llu %llu %s\n", static_cast<unsigned long long>(p.offset),
                     static_cast<unsigned long long>(p.payload->bytes.size()),
                     static_cast<unsigned long long>(p.payload->movie_chunks), p.payload->name.c_str());
        bytes += p.payload->bytes.size();
        chunks += p.payload->movie_chunks;
    }
    std::fprintf(f, "# total copies=%zu movie_chunks=%llu bytes=%llu\n", placements.size(),
                 static_cast<unsigned long long>(chunks), static_cast<unsigned long long>(bytes));
    const bool failed = std::ferror(f) != 0;
    if (std::fclose(f) != 0 || failed) {
        throw Error("cannot write " + path);
    }
}

[[noreturn]] void usage() {
    std::fputs(
        "usage:\n"
        "  frambit-bench-gen random OUT SIZE [--every BYTES] [--seed N] [--manifest FILE]\n"
        "                    (--avi FILE | --avi-as-db FILE)...\n"
        "  frambit-bench-gen digits OUT SIZE [--seed N]\n"
        "  frambit-bench-gen movi AVI OUT [--as-db]\n"
        "SIZE/BYTES accept K, M, G, T suffixes (powers of 1024).\n",
        stderr);
    std::exit(2);
}

int run(const std::vector<std::string>& args) {
    if (args.size() < 3) {
        usage();
    }
    const std::string& mode = args[0];
    if (mode == "movi") {
        bool as_db = false;
        for (std::size_t i = 3; i < args.size(); ++i) {
            if (args[i] == "--as-db") {
                as_db = true;
            } else {
                usage();
            }
        }
        const Payload payload = extract_movi(args[1], as_db);
        Output out(args[2]);
        out.write(payload.bytes);
        out.commit();
        std::printf("%zu bytes, %llu movie chunks\n", payload.bytes.size(),
                    static_cast<unsigned long long>(payload.movie_chunks));
        return 0;
    }
    if (mode != "random" && mode != "digits") {
        usage();
    }
    const std::string out_path = args[1];
    const std::uint64_t size = parse_size(args[2]);
    std::uint64_t every = 64ULL << 20;
    std::uint64_t seed = mode == "random" ? 0x0f4a3b1dULL : 0x5eed0d19ULL;
    std::optional<std::string> manifest;
    std::vector<std::pair<std::string, bool>> avis;
    for (std::size_t i = 3; i < args.size(); ++i) {
        const std::string& opt = args[i];
        if (i + 1 >= args.size()) {
            usage();
        }
        const std::string& value = args[++i];
        if (opt == "--seed") {
            seed = parse_size(value);
        } else if (mode == "random" && opt == "--every") {
            every = parse_size(value);
        } else if (mode == "random" && opt == "--manifest") {
            manifest = value;
        } else if (mode == "random" && opt == "--avi") {
            avis.emplace_back(value, false);
        } else if (mode == "random" && opt == "--avi-as-db") {
            avis.emplace_back(value, true);
        } else {
            usage();
        }
    }
    if (size == 0 || every == 0) {
        throw Error("size and --every must be positive");
    }
    std::vector<Payload> payloads;
    payloads.reserve(avis.size());
    for (const auto& [path, as_db] : avis) {
        payloads.push_back(extract_movi(path, as_db));
        if (payloads.back().bytes.size() + 2 > every) {
            throw Error(path + ": movie list larger than --every");
        }
    }
    const std::vector<Placement> placements = plan_placements(size, every, seed, payloads);
    write_image(out_path, size, mode == "digits" ? Fill::digits : Fill::random, seed, placements);
    if (manifest) {
        write_manifest(*manifest, size, every, placements);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "frambit-bench-gen: %s\n", e.what());
        return 1;
    }
}
