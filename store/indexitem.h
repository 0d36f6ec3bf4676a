#pragma once
// Index entries: what the message list shows for one message, its number in the mailbox file
// and its flags, plus the rules that turn status letters and "X-Priority:" values into the
// entry's icon and priority word.

#include <string>
#include <string_view>

namespace kivo {

// One message's index entry. A plain value: the message list asks for entries by position
// and builds nothing per row. Texts are cut to 255 bytes when the entry is made.
struct TIndexItem {
    std::string Subject;
    std::string From;
    std::string Date;      // the program's date form
    std::string Size;      // kilobytes, decimal
    std::string To;        // bare address
    std::string Priority;  // "Highest", "High", "Normal", "Low" or "Lowest"
    bool HasAttachment = false;
    bool Unread = false;
    int Number = 0;       // message number in the mailbox file, from 1
    bool Tagged = false;  // set by the Show filter, never stored
    int Icon = 0;         // 4 x group + state, 0..15

    bool operator==(const TIndexItem&) const = default;
};

// Columns in display order.
enum TIndexColumn { icSubject = 0, icFrom, icDate, icSize, icTo, icPriority };

// Icon groups: none, replied ("W"), forwarded ("F"), bounced ("B").
enum TIconGroup { igNone = 0, igReplied = 1, igForwarded = 2, igBounced = 3 };

// The group named by status letters; "W" wins over "F" and "F" over "B".
TIconGroup GroupFromLetters(std::string_view letters);
// The status letter of an icon's group ('W', 'F', 'B'), or 0 for none.
char GroupLetter(int icon);
// Icon number: state 0 unread, 1 unread with attachment, 2 read, 3 read with attachment.
int ComputeIcon(bool unread, bool hasAttachment, TIconGroup group);

// "1" .. "5" become "Highest" .. "Lowest"; anything else, text after the digit included,
// becomes "Normal".
std::string PriorityWord(std::string_view value);

// Makes an entry as AddIndexItem does: texts cut short, icon computed from the flags and the
// status letters.
TIndexItem MakeIndexItem(std::string_view subject, bool hasAttachment, bool unread,
                         std::string_view letters, std::string_view date, int number,
                         std::string_view size, std::string_view priority, std::string_view to,
                         std::string_view from);

// The "Status:" line that brings a message's file copy up to date with its index entry:
// "Status: " + "U" or "R" + the group letter, if any.
std::string StatusLineFor(bool unread, int icon);

// Index field booleans: false for "0", "false", "off", "no" (any case), true otherwise.
bool IndexBool(std::string_view field);

}  // namespace kivo
