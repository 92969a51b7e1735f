#include "app/PortChoice.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

std::vector<TPortItem> DescribePorts(const std::vector<std::string>& paths, const std::vector<PortInfo>& known,
                                     const std::vector<TByIdLink>& byId)
{
    std::vector<TPortItem> items;
    for (const std::string& path : paths) {
        auto info = std::find_if(known.begin(), known.end(), [&](const PortInfo& p) { return p.Path == path; });
        std::string label = path;
        if (info != known.end()) {
            for (const std::string* field : {&info->UsbId, &info->Product})
                if (!field->empty()) label += "  " + *field;
        }
        items.push_back({path, label});
        if (info == known.end() || info->UsbId.empty()) continue;
        for (const auto& [link, target] : byId)
            if (target == path) items.push_back({link, link});
    }
    return items;
}

std::vector<TByIdLink> ReadByIdLinks(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::vector<TByIdLink> links;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        fs::path target = fs::canonical(entry.path(), ec);
        if (!ec) links.emplace_back(entry.path().string(), target.string());
    }
    std::sort(links.begin(), links.end());
    return links;
}
