#include "store/indexitem.h"

#include "base/bytes.h"

namespace kivo {

TIconGroup GroupFromLetters(std::string_view letters) {
    if (letters.find('W') != std::string_view::npos) return igReplied;
    if (letters.find('F') != std::string_view::npos) return igForwarded;
    if (letters.find('B') != std::string_view::npos) return igBounced;
    return igNone;
}

char GroupLetter(int icon) {
    switch (icon / 4) {
        case igReplied:
            return 'W';
        case igForwarded:
            return 'F';
        case igBounced:
            return 'B';
        default:
            return 0;
    }
}

int ComputeIcon(bool unread, bool hasAttachment, TIconGroup group) {
    return 4 * group + (unread ? 0 : 2) + (hasAttachment ? 1 : 0);
}

std::string PriorityWord(std::string_view value) {
    if (value.size() == 1) {
        switch (value[0]) {
            case '1':
                return "Highest";
            case '2':
                return "High";
            case '4':
                return "Low";
            case '5':
                return "Lowest";
            default:
                break;
        }
    }
    return "Normal";
}

TIndexItem MakeIndexItem(std::string_view subject, bool hasAttachment, bool unread,
                         std::string_view letters, std::string_view date, int number,
                         std::string_view size, std::string_view priority, std::string_view to,
                         std::string_view from) {
    TIndexItem item;
    item.Subject = CutShort(subject);
    item.From = CutShort(from);
    item.Date = CutShort(date);
    item.Size = CutShort(size);
    item.To = CutShort(to);
    item.Priority = CutShort(priority);
    item.HasAttachment = hasAttachment;
    item.Unread = unread;
    item.Number = number;
    item.Icon = ComputeIcon(unread, hasAttachment, GroupFromLetters(letters));
    return item;
}

std::string StatusLineFor(bool unread, int icon) {
    std::string line = unread ? "Status: U" : "Status: R";
    if (char letter = GroupLetter(icon)) line += letter;
    return line;
}

bool IndexBool(std::string_view field) {
    return !(field == "0" || EqualsNoCase(field, "false") || EqualsNoCase(field, "off") ||
             EqualsNoCase(field, "no"));
}

}  // namespace kivo
