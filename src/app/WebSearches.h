#pragma once

#include <QString>
#include <QUrl>
#include <array>
#include <string>

namespace vk::app {

// One web search of the process menu and the file information window: the
// service's name and the address prefix the file name is appended to.
struct WebSearch {
    QString caption;
    QString prefix;
};

using WebSearches = std::array<WebSearch, 4>;

// The four searches from config.ini [WebSearch] (Caption0..3, Prefix0..3),
// each key falling back to its default service.
WebSearches loadWebSearches(const std::string& configIni);

// prefix followed by the file name; the name is percent-encoded so that a
// name holding "&", "#" or "?" still searches for the whole name.
QUrl webSearchUrl(const WebSearch& search, const QString& fileName);

}  // namespace vk::app
