// What the port list shows beside each device, and the other names of USB adapters.
#pragma once

#include "serial/Serial.h"

#include <string>
#include <utility>
#include <vector>

struct TPortItem {
    std::string Path;    // what the links open and the settings keep
    std::string Label;   // what the list shows: the path, then what is known of the device
    bool operator==(const TPortItem&) const = default;
};

// A /dev/serial/by-id link and the device it points to.
using TByIdLink = std::pair<std::string, std::string>;

// The list's items for `paths` in their order: each labelled with its USB vendor:product id and
// product name where `known` has them, and a USB adapter followed by its by-id names, which stay
// the same whichever ttyUSB number the adapter gets.
std::vector<TPortItem> DescribePorts(const std::vector<std::string>& paths, const std::vector<PortInfo>& known,
                                     const std::vector<TByIdLink>& byId);

// The links of `folder` (normally /dev/serial/by-id) with the devices they point to.
std::vector<TByIdLink> ReadByIdLinks(const std::string& folder = "/dev/serial/by-id");
