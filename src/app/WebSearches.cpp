#include "app/WebSearches.h"

#include "app/TextFit.h"
#include "platform/IniProfile.h"

namespace vk::app {
namespace {

constexpr const char* kSection = "WebSearch";

struct Default {
    const char* caption;
    const char* prefix;
};

// A general search engine, a library of executable files, a security blog's
// search and a library of processes.
constexpr Default kDefaults[4] = {
    {"Google", "https://www.google.com/search?q="},
    {"Exefiles.com", "https://www.exefiles.com/search.php?query="},
    {"McAfee Blogs", "https://www.mcafee.com/blogs/?s="},
    {"Process Library", "https://www.processlibrary.com/directory/?files=++++"},
};

}  // namespace

WebSearches loadWebSearches(const std::string& configIni) {
    WebSearches out;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::string n = std::to_string(i);
        out[i].caption = fromBytes(platform::getProfileString(configIni, kSection, "Caption" + n, kDefaults[i].caption));
        out[i].prefix = fromBytes(platform::getProfileString(configIni, kSection, "Prefix" + n, kDefaults[i].prefix));
    }
    return out;
}

QUrl webSearchUrl(const WebSearch& search, const QString& fileName) {
    return QUrl(search.prefix + QString::fromLatin1(QUrl::toPercentEncoding(fileName)), QUrl::StrictMode);
}

}  // namespace vk::app
