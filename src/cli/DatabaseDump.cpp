#include "cli/DatabaseDump.h"

#include <cstdio>

#include "scan/ScanEngine.h"

namespace vk::cli {
namespace {

struct DumpEvents : scan::ScanEngineEvents {
    std::ostream& err;
    bool failed = false;
    explicit DumpEvents(std::ostream& e) : err(e) {}
    void errorOccured(std::int32_t number, const std::string& description) override {
        failed = true;
        err << "Error #" << number << ": " << description << "\n";
    }
};

}  // namespace

std::string escapeBytes(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out.push_back(static_cast<char>(c));
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

std::string envelopeProblem(scan::DatabaseEnvelope::Status status) {
    using S = scan::DatabaseEnvelope::Status;
    switch (status) {
        case S::Ok: return "ok";
        case S::Missing: return "missing";
        case S::Unreadable: return "unreadable";
        case S::BadMagic: return "header stub missing";
        case S::Truncated: return "truncated";
        case S::BadLength: return "bad payload length";
        case S::BadChecksum: return "checksum mismatch";
    }
    return "unknown";
}

int dumpDatabase(const std::string& path, std::ostream& out, std::ostream& err) {
    DumpEvents events(err);
    scan::ScanEngine engine(&events);
    engine.setDatabasePath(path);
    engine.loadVirusDatabase();
    if (events.failed || !engine.vDatabaseLoaded()) return 2;

    out << "Version: " << engine.vDatabaseVersion() << "\n"
        << "CompatibleVersion: " << engine.vDatabaseCompatibleVer() << "\n"
        << "ReleaseDate: " << scan::formatIsoDate(engine.vDatabaseReleaseDate()) << "\n"
        << "DatabaseSize: " << engine.vDatabaseSize() << "\n";
    const auto& entries = engine.signatures();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        out << "Signature" << (i + 1) << ": " << e.name << "\n"
            << "  CRC32Checksum: " << e.crc32 << "\n"
            << "  MD5Digest: " << e.md5 << "\n"
            << "  UseStringDetection: " << (e.useStringDetection ? "True" : "False") << "\n"
            << "  StringSignature: \"" << escapeBytes(e.stringSignature) << "\"\n";
        if (e.useStringDetection && e.stringSignature.empty())
            err << "vksig: warning: Signature" << (i + 1) << " (" << e.name
                << ") has string detection on and an empty string signature; it matches nothing\n";
    }
    return 0;
}

}  // namespace vk::cli
