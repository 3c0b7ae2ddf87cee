#include "report/AprsSymbol.h"

namespace {

struct Entry {
    char code;
    const char *glyph;
    const char *name;
};

// The symbols hams meet most, by code; others get a name without a glyph.
constexpr Entry Primary[] = {
    {'!', "police", "police station"},
    {'#', "digi", "digipeater"},
    {'$', "generic", "phone"},
    {'&', "gateway", "HF gateway"},
    {'\'', "plane", "small aircraft"},
    {'*', "generic", "snowmobile"},
    {'+', "cross", "Red Cross"},
    {'-', "house", "house"},
    {'/', "dot", "dot"},
    {':', "fire", "fire"},
    {';', "tent", "campground"},
    {'<', "motorcycle", "motorcycle"},
    {'=', "train", "railroad engine"},
    {'>', "car", "car"},
    {'?', "generic", "server"},
    {'@', "generic", "hurricane"},
    {'A', "cross", "aid station"},
    {'C', "boat", "canoe"},
    {'E', "generic", "eyeball"},
    {'F', "generic", "tractor"},
    {'H', "house", "hotel"},
    {'I', "generic", "TCP/IP"},
    {'K', "school", "school"},
    {'O', "balloon", "balloon"},
    {'P', "police", "police car"},
    {'R', "bus", "recreational vehicle"},
    {'S', "generic", "space shuttle"},
    {'U', "bus", "bus"},
    {'W', "weather", "weather service"},
    {'X', "helicopter", "helicopter"},
    {'Y', "sailboat", "yacht"},
    {'[', "person", "jogger"},
    {'^', "plane", "large aircraft"},
    {'_', "weather", "weather station"},
    {'`', "dish", "dish antenna"},
    {'a', "ambulance", "ambulance"},
    {'b', "bicycle", "bicycle"},
    {'c', "generic", "command post"},
    {'d', "fire", "fire station"},
    {'e', "generic", "horse"},
    {'f', "firetruck", "fire truck"},
    {'g', "plane", "glider"},
    {'h', "cross", "hospital"},
    {'j', "jeep", "jeep"},
    {'k', "truck", "truck"},
    {'l', "generic", "laptop"},
    {'n', "generic", "node"},
    {'o', "generic", "EOC"},
    {'p', "generic", "rover"},
    {'r', "tower", "repeater"},
    {'s', "boat", "power boat"},
    {'u', "truck", "truck (18-wheeler)"},
    {'v', "van", "van"},
    {'w', "generic", "water station"},
    {'y', "house", "house with yagi"},
};

constexpr Entry Alternate[] = {
    {'#', "digi", "digipeater"},
    {'&', "gateway", "gateway"},
    {'-', "house", "house (HF)"},
    {'>', "car", "car"},
    {'O', "generic", "rocket"},
    {'W', "weather", "weather service"},
    {'^', "plane", "aircraft"},
    {'_', "weather", "weather site"},
    {'a', "generic", "ARES/RACES"},
    {'k', "jeep", "SUV"},
    {'n', "generic", "triangle"},
    {'s', "boat", "ship"},
    {'u', "truck", "truck"},
    {'v', "van", "van"},
    {'y', "generic", "skywarn"},
};

template <std::size_t N>
const Entry *find(const Entry (&entries)[N], QChar code)
{
    for (const Entry &entry : entries)
        if (QLatin1Char(entry.code) == code)
            return &entry;
    return nullptr;
}

}  // namespace

AprsSymbol AprsSymbol::lookup(QStringView symbol)
{
    AprsSymbol result;
    if (symbol.size() < 2)
        return result;
    result.table = symbol.front();
    result.code = symbol.back();
    const char16_t t = result.table.unicode();
    const bool overlay = (t >= u'0' && t <= u'9') || (t >= u'A' && t <= u'Z');
    const Entry *entry = nullptr;
    if (t == u'/')
        entry = find(Primary, result.code);
    else if (t == u'\\' || overlay)
        entry = find(Alternate, result.code);
    if (overlay)
        result.overlay = result.table;
    if (entry) {
        result.glyph = QLatin1String(entry->glyph);
        result.name = QString::fromLatin1(entry->name);
        // The alternate table's gateway with an I on it is an igate.
        if (overlay && entry->code == '&' && t == u'I')
            result.name = QStringLiteral("igate");
    }
    return result;
}
