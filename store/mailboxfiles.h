#pragma once
// Where a mailbox's files are: the messages (".mbx"), the index (".idx") and the deleted list
// (".d"), each matched without regard to case so "In" finds "in.mbx".

#include <filesystem>
#include <string>
#include <string_view>

namespace kivo {

struct TMailboxFiles {
    std::filesystem::path Mbx;
    std::filesystem::path Idx;
    std::filesystem::path Del;

    // `base` is the mailbox path without extension (mail folder + relative path). The index
    // and deleted list take the letter case of an existing ".mbx" file when they do not
    // exist yet.
    static TMailboxFiles Of(const std::filesystem::path& base);

    // Compression's new file ("<name>.tmp") and the deleted list it sets aside while the new
    // file takes the old one's place.
    std::filesystem::path Tmp() const;
    std::filesystem::path Aside() const { return Del.string() + ".compressing"; }
    // The mailbox's name for messages: the file name without ".mbx".
    std::string Name() const;
};

// Mail folder + relative mailbox path ("Work/Alpha"; a backslash is read as a slash).
std::filesystem::path MailboxBase(const std::filesystem::path& mailFolder,
                                  std::string_view relativePath);

// True for the top-level system mailboxes In, Out, Sent and Trash (any case).
bool IsSystemMailbox(std::string_view relativePath);

}  // namespace kivo
