// Seeded corpus generator for the scanner comparison: nested folders of mixed
// files with planted infections and CRC-colliding decoys, and the same
// signatures for VandrelKast, ClamAV (.hdb, .ndb) and YARA.
//
// tool_corpus OUTDIR [--seed S] [--files N] [--mb M] [--crc-sigs C] [--string-sigs S]
//             [--extra-crc X] [--extra-strings Y] [--planted P]
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "checksum/Crc32.h"
#include "checksum/Md5.h"
#include "platform/AtomicFile.h"
#include "scan/DatabaseFile.h"
#include "scan/SignatureDatabase.h"

namespace {

struct Rng {
    std::uint64_t s;
    std::uint64_t next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
    std::uint64_t below(std::uint64_t n) { return next() % n; }
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
};

void fillRandom(Rng& rng, std::string& out, std::size_t n, bool text) {
    std::size_t start = out.size();
    out.resize(start + n);
    static const char kText[] = "etaoinshrdlu cmfwypvbgkjqxz ETAOIN\n0123456789.,;:";
    for (std::size_t i = 0; i < n; i += 8) {
        std::uint64_t v = rng.next();
        for (std::size_t k = 0; k < 8 && i + k < n; ++k) {
            auto b = static_cast<unsigned char>(v >> (8 * k));
            out[start + i + k] = text ? kText[b % (sizeof kText - 1)] : static_cast<char>(b);
        }
    }
}

// A random byte string the payload can store exactly.
std::string storableSignature(Rng& rng) {
    while (true) {
        std::string sig;
        fillRandom(rng, sig, 16 + rng.below(33), false);
        if (vk::scan::payloadCanHold(sig)) return sig;
    }
}

std::int32_t crcOf(const std::string& s) {
    return vk::checksum::computeCrc32({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()});
}

std::string md5Of(const std::string& s) {
    vk::checksum::Md5Hasher h;
    h.update(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
    return h.finishHex();
}

// Appends 8 bytes that give data the wanted CRC: the CRC of a fixed prefix is
// affine in the appended bits, so one GF(2) elimination finds them.
bool forceCrc(std::string& data, std::int32_t wanted) {
    data.append(8, '\0');
    std::uint32_t base = static_cast<std::uint32_t>(crcOf(data));
    std::array<std::uint64_t, 32> rows{};  // row r: which appended bits flip CRC bit r
    for (int bit = 0; bit < 64; ++bit) {
        data[data.size() - 8 + bit / 8] = static_cast<char>(1u << (bit % 8));
        std::uint32_t delta = static_cast<std::uint32_t>(crcOf(data)) ^ base;
        data[data.size() - 8 + bit / 8] = 0;
        for (int r = 0; r < 32; ++r)
            if (delta >> r & 1) rows[r] |= std::uint64_t{1} << bit;
    }
    std::uint32_t target = static_cast<std::uint32_t>(wanted) ^ base;
    std::array<std::uint64_t, 32> a = rows;
    std::array<int, 32> rhs{};
    for (int r = 0; r < 32; ++r) rhs[r] = target >> r & 1;
    std::array<int, 32> pivotCol{};
    int rank = 0;
    for (int col = 0; col < 64 && rank < 32; ++col) {
        int sel = -1;
        for (int r = rank; r < 32; ++r)
            if (a[r] >> col & 1) { sel = r; break; }
        if (sel < 0) continue;
        std::swap(a[sel], a[rank]);
        std::swap(rhs[sel], rhs[rank]);
        for (int r = 0; r < 32; ++r)
            if (r != rank && (a[r] >> col & 1)) {
                a[r] ^= a[rank];
                rhs[r] ^= rhs[rank];
            }
        pivotCol[rank++] = col;
    }
    for (int r = rank; r < 32; ++r)
        if (rhs[r]) return false;  // unreachable CRC bits
    std::uint64_t x = 0;
    for (int r = 0; r < rank; ++r)
        if (rhs[r]) x |= std::uint64_t{1} << pivotCol[r];
    for (int i = 0; i < 8; ++i) data[data.size() - 8 + i] = static_cast<char>(x >> (8 * i));
    return crcOf(data) == wanted;
}

std::string hexLower(const std::string& bytes) {
    static const char h[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(h[c >> 4]);
        out.push_back(h[c & 15]);
    }
    return out;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

void makeDirs(const std::string& path) {
    for (std::size_t p = 1; (p = path.find('/', p)) != std::string::npos; ++p) ::mkdir(path.substr(0, p).c_str(), 0755);
    ::mkdir(path.c_str(), 0755);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tool_corpus OUTDIR [--seed S] [--files N] [--mb M] [--crc-sigs C] "
                             "[--string-sigs S] [--extra-crc X] [--extra-strings Y] [--planted P]\n");
        return 2;
    }
    std::string out = argv[1];
    std::uint64_t seed = 20261209;
    long files = 4000, mb = 1024, crcSigs = 500, stringSigs = 500, extraCrc = 0, extraStrings = 0, planted = 40;
    for (int i = 2; i + 1 < argc; i += 2) {
        std::string k = argv[i];
        long v = std::atol(argv[i + 1]);
        if (k == "--seed") seed = static_cast<std::uint64_t>(v);
        else if (k == "--files") files = v;
        else if (k == "--mb") mb = v;
        else if (k == "--crc-sigs") crcSigs = v;
        else if (k == "--string-sigs") stringSigs = v;
        else if (k == "--extra-crc") extraCrc = v;
        else if (k == "--extra-strings") extraStrings = v;
        else if (k == "--planted") planted = v;
    }
    Rng rng{seed * 0x9E3779B97F4A7C15ull | 1};

    // Signatures: checksum bodies and byte strings.
    std::vector<std::string> bodies;
    std::vector<vk::scan::SignatureEntry> entries;
    std::vector<std::string> strings;
    for (long i = 0; i < crcSigs; ++i) {
        std::string body;
        fillRandom(rng, body, 1024 + rng.below(63 * 1024), false);
        entries.push_back({"Bench.Checksum." + std::to_string(i + 1), crcOf(body), md5Of(body), false, ""});
        bodies.push_back(std::move(body));
    }
    for (long i = 0; i < stringSigs; ++i) {
        std::string sig = storableSignature(rng);
        strings.push_back(sig);
        entries.push_back({"Bench.String." + std::to_string(i + 1), 0, "", true, sig});
    }
    std::vector<vk::scan::SignatureEntry> extra;
    // A stream of its own: the extras must not repeat the bytes the corpus is made of.
    Rng extraRng{(seed ^ 0xA5A5A5A5A5A5A5A5ull) * 0xD1B54A32D192ED03ull | 1};
    for (long i = 0; i < extraCrc; ++i) {
        std::string fake;
        fillRandom(extraRng, fake, 64, false);
        extra.push_back({"Bench.Unused.Checksum." + std::to_string(i + 1),
                         static_cast<std::int32_t>(static_cast<std::uint32_t>(extraRng.next()) & ~31u) | 32, md5Of(fake),
                         false, ""});
    }
    for (long i = 0; i < extraStrings; ++i) {
        std::string sig = storableSignature(extraRng);
        extra.push_back({"Bench.Unused.String." + std::to_string(i + 1), 0, "", true, sig});
    }

    // File sizes: log-uniform, scaled to the wanted total, at most 10 MiB.
    std::vector<double> sizes(static_cast<std::size_t>(files));
    double sum = 0;
    for (auto& s : sizes) sum += s = std::exp(std::log(512.0) + rng.unit() * (std::log(10485760.0) - std::log(512.0)));
    double scale = static_cast<double>(mb) * 1048576.0 / sum;
    makeDirs(out + "/corpus");
    std::vector<std::string> expected;
    std::uint64_t total = 0;
    static const char* kExt[] = {"exe", "dll", "bin", "txt", "doc", "js", "dat", "jpg", "scr", "ini"};
    for (long i = 0; i < files; ++i) {
        std::string dir = out + "/corpus";
        int depth = static_cast<int>(rng.below(5));
        for (int d = 0; d < depth; ++d) dir += "/d" + std::to_string(rng.below(6));
        makeDirs(dir);
        std::string path = dir + "/f" + std::to_string(i) + "." + kExt[rng.below(10)];
        std::string data;
        long kind = i < planted ? 0 : i < 2 * planted ? 1 : i < 3 * planted ? 2 : 3;
        if (kind == 0 && crcSigs > 0) {  // an exact copy of a checksum signature's body
            data = bodies[rng.below(bodies.size())];
            expected.push_back(path);
        } else if (kind == 1 && crcSigs > 0) {  // same CRC as a signature, other content
            const auto& sig = entries[rng.below(static_cast<std::uint64_t>(crcSigs))];
            fillRandom(rng, data, 4096 + rng.below(60000), false);
            if (!forceCrc(data, sig.crc32)) {
                std::fprintf(stderr, "tool_corpus: could not force a CRC\n");
                return 2;
            }
        } else {
            auto size = static_cast<std::size_t>(std::clamp(sizes[static_cast<std::size_t>(i)] * scale, 1.0, 10485760.0));
            fillRandom(rng, data, size, rng.below(2) == 0);
            if (kind == 2 && stringSigs > 0) {  // a byte-string signature inside ordinary content
                const auto& sig = strings[rng.below(strings.size())];
                if (data.size() < sig.size()) data.resize(sig.size());
                data.replace(rng.below(data.size() - sig.size() + 1), sig.size(), sig);
                expected.push_back(path);
            }
        }
        total += data.size();
        if (!writeFile(path, data)) {
            std::perror(path.c_str());
            return 2;
        }
    }

    // The same signatures in each tool's format.
    std::vector<vk::scan::SignatureEntry> all = entries;
    all.insert(all.end(), extra.begin(), extra.end());
    vk::scan::DatabaseMain main{"bench", "1.4.0", {2026, 12, 1}, 0};
    std::string payload = vk::scan::formatPayload(main, all);
    vk::platform::atomicReplaceFile(out + "/signatures.dat", vk::scan::buildDatabaseFile(payload));
    std::string hdb, ndb, yar = "import \"hash\"\n\n";
    for (long i = 0; i < crcSigs; ++i) {
        std::string md5 = entries[static_cast<std::size_t>(i)].md5;
        for (auto& c : md5) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        hdb += md5 + ":" + std::to_string(bodies[static_cast<std::size_t>(i)].size()) + ":Bench.Checksum." +
               std::to_string(i + 1) + "\n";
        yar += "rule checksum_" + std::to_string(i + 1) + " { condition: filesize == " +
               std::to_string(bodies[static_cast<std::size_t>(i)].size()) + " and hash.md5(0, filesize) == \"" + md5 +
               "\" }\n";
    }
    for (long i = 0; i < stringSigs; ++i) {
        std::string hex = hexLower(strings[static_cast<std::size_t>(i)]);
        ndb += "Bench.String." + std::to_string(i + 1) + ":0:*:" + hex + "\n";
        std::string spaced;
        for (std::size_t k = 0; k < hex.size(); k += 2) spaced += hex.substr(k, 2) + " ";
        yar += "rule string_" + std::to_string(i + 1) + " { strings: $s = { " + spaced + "} condition: $s }\n";
    }
    writeFile(out + "/bench.hdb", hdb);
    writeFile(out + "/bench.ndb", ndb);
    writeFile(out + "/bench.yar", yar);
    std::sort(expected.begin(), expected.end());
    std::string list;
    for (const auto& e : expected) list += e + "\n";
    writeFile(out + "/expected.txt", list);
    std::printf("%ld files, %.1f MiB, %zu planted, %zu signatures\n", files, static_cast<double>(total) / 1048576.0,
                expected.size(), all.size());
    return 0;
}
