// Which firmware's G-code a file is written for: the marks slicers leave in their files, and the names users give.
#include "GCodeFlavor.h"

#include <algorithm>
#include <cctype>

namespace zelk::gcode {

namespace {


std::string Lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// The value after `key` on a comment line of `text` ("; key = value",
// ";key:value", ";   key,value"); the whole line in `line`.
bool FindMarkedValue(std::string_view text, std::string_view key, char separator, std::string_view& value,
                     std::string_view& line)
{
    for (std::size_t at = text.find(key); at != std::string_view::npos; at = text.find(key, at + 1)) {
        const std::size_t begin = text.rfind('\n', at) == std::string_view::npos ? 0 : text.rfind('\n', at) + 1;
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view before = Trim(text.substr(begin, at - begin));
        if (before != ";")
            continue;  // the key inside some other text
        std::string_view rest = Trim(text.substr(at + key.size(), end - at - key.size()));
        if (rest.empty() || rest.front() != separator)
            continue;
        rest.remove_prefix(1);
        value = Trim(rest);
        line = Trim(text.substr(begin, end - begin));
        return !value.empty();
    }
    return false;
}

}  // namespace

const char* FlavorName(GCodeFlavor flavor)
{
    switch (flavor) {
    case GCodeFlavor::kMakerbot: return "makerbot";
    case GCodeFlavor::kRepRap: return "reprap";
    case GCodeFlavor::kPrinter: break;
    }
    return "printer";
}

std::optional<GCodeFlavor> ParseFlavorName(std::string_view name)
{
    for (const GCodeFlavor f : {GCodeFlavor::kPrinter, GCodeFlavor::kMakerbot, GCodeFlavor::kRepRap})
        if (name == FlavorName(f))
            return f;
    return std::nullopt;
}

std::optional<GCodeFlavor> FlavorOfFirmwareName(std::string_view name)
{
    const std::string n = Lower(Trim(name));
    // The printers of this family and their firmwares.
    for (const char* makerbot : {"sailfish", "makerware", "makerbot", "x3g", "bfb"})
        if (n == makerbot)
            return GCodeFlavor::kMakerbot;
    for (const char* reprap : {"marlin", "marlin2", "marlinlegacy", "marlin (legacy)", "reprap", "reprapfirmware",
                               "reprap (reprap)", "reprap (marlin/sprinter)", "reprap (volumetric)", "repetier",
                               "teacup", "smoothie", "klipper", "sprinter", "griffin", "ultigcode", "mach3",
                               "machinekit", "no-extrusion", "prusa", "fff"})
        if (n == reprap)
            return GCodeFlavor::kRepRap;
    return std::nullopt;
}

FlavorMark DetectFlavor(std::string_view text)
{
    const std::string_view head = text.substr(0, std::min(text.size(), kFlavorHeadBytes));
    const std::string_view tail = text.size() > kFlavorTailBytes ? text.substr(text.size() - kFlavorTailBytes) : text;
    return DetectFlavor(head, tail);
}

FlavorMark DetectFlavor(std::string_view head, std::string_view tail)
{
    FlavorMark mark;
    if (tail.empty())
        tail = head;
    std::string_view value, line;
    const bool marked = FindMarkedValue(tail, "gcode_flavor", '=', value, line) ||
                        FindMarkedValue(head, "gcode_flavor", '=', value, line) ||
                        FindMarkedValue(head, "FLAVOR", ':', value, line) ||
                        FindMarkedValue(head, "gcodeFlavor", ',', value, line);
    if (!marked)
        return mark;
    mark.mark = std::string(line);
    // A mark of a firmware we do not know is still a mark: such a file is not
    // the printer's own dialect, and is read as RepRap G-code, the common kind.
    mark.flavor = FlavorOfFirmwareName(value).value_or(GCodeFlavor::kRepRap);
    mark.found = true;
    return mark;
}

}  // namespace zelk::gcode
