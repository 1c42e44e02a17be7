// What the plugin reads out of an event's XML (as the channel service renders it): the event
// data with its names, for the text shown when no description can be found, and the binary
// data.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/types.h"

namespace qb {

// EventData's Data elements (the Name attribute, empty without one, and the text), or the
// leaf elements of UserData's one child (element name and text); entities resolved.
std::vector<std::pair<std::u16string, std::u16string>> EventDataOf(std::u16string_view xml);

// The bytes of EventData's Binary element (hexadecimal text); empty without one.
platform::Bytes BinaryDataOf(std::u16string_view xml);

}  // namespace qb
