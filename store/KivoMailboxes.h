#pragma once
// The mailbox tree (`TFrmMailboxes`) without its widget: a model of the mail folder in which a
// mailbox is a ".mbx" file (with its ".idx" and ".d" beside it) and a folder is a subfolder.
// Every operation (new, rename, delete, move, drops of messages and contacts) is carried out
// on those files at once; refusals are shown as confirmation tips and returned.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

class Platform;
class TFrmIndex;
class TMailboxHost;
class TStoreFeedback;

// Node kinds, told apart by the icon number as the window draws them.
enum TNodeIcon {
    niMailbox = 0,
    niOpenMailbox = 1,
    niFolder = 2,
    niFolderExpanded = 3,
    niIn = 4,
    niOut = 5,
    niSent = 6,
    niTrash = 7,
};

struct TMailboxNode {
    std::string Text;
    int Icon = niMailbox;
    TMailboxNode* Parent = nullptr;  // null at the top level
    std::vector<std::unique_ptr<TMailboxNode>> Children;

    bool IsFolder() const { return Icon == niFolder || Icon == niFolderExpanded; }
};

// Makes the auto script that files a contact's mail into a mailbox (scripts live above the
// store); the tree calls it when a contact is dropped.
class TAutoScriptMaker {
  public:
    virtual ~TAutoScriptMaker() = default;
    virtual void MakeScript(std::string_view name, std::string_view relPath,
                            std::string_view email) = 0;
};

// Valid mailbox and folder names are not empty and hold none of \ / : * ? " < > |.
bool IsValidName(std::string_view name);

inline constexpr std::string_view kInvalidNameTip = "Invalid name! Cannot use \\/:*?\"<>|";

class TFrmMailboxes {
  public:
    TFrmMailboxes(std::filesystem::path mailFolder, TMailboxHost& host, Platform& platform,
                  TStoreFeedback& feedback);

    // Rebuilds the tree from the mail folder: In, Out, Sent, the mailboxes and folders found
    // (sorted by name, folders read recursively), Trash last.
    void Init();
    const std::vector<std::unique_ptr<TMailboxNode>>& TopLevel() const { return top_; }
    // The node of a relative path ("Work/Alpha", a backslash read as a slash; names compared
    // without regard to case), or null.
    TMailboxNode* FindNode(std::string_view relPath) const;

    // The node's text preceded by its ancestors' texts, each followed by "/".
    std::string GetRelPath(const TMailboxNode* node) const;
    // The unique-name rule among the siblings of `node` (the top level when it is null).
    std::string FindUniqueName(const TMailboxNode* node, std::string_view name) const;

    TMailboxNode* Selected() const { return selected_; }
    void Select(TMailboxNode* node) { selected_ = node; }
    // Expands the folders on the open mailbox's path and selects its node (icon 1).
    void RevealOpenMailbox();

    // Opens a mailbox node in the main window (saving the open one first). False when the
    // node is a folder or already open, or when saving or opening failed (error box shown).
    bool Open(TMailboxNode* node);
    // New mailbox / folder beside the selected node (inside it when it is a folder), with
    // its file or folder created; returns the node. Throws when the file or folder cannot be
    // made, leaving no new node.
    TMailboxNode* NewMailbox();
    TMailboxNode* NewFolder();
    // Renames a node to `text`, files on disk included; returns the tip shown, if any, or the
    // failure shown when a file could not be renamed (the node and its files then stay).
    std::string Rename(TMailboxNode* node, std::string_view text);
    // Deletes the selected node (a folder with everything in it), asking before a non-empty
    // mailbox goes; every question is asked first and a "no" leaves everything as it was.
    // The messages of a deleted mailbox go to the Trash, as deleted messages do, unless
    // `toTrash` is false. Returns the refusal or the failure shown, if any; a failure stops
    // the deletion at the mailbox or folder whose file could not go, which stays.
    std::string DeleteSelected(bool toTrash = true);
    // Moves a mailbox or folder onto another node (into it when it is a folder, beside it
    // when it is a mailbox); returns the tip or failure shown, if any. The tree is rebuilt
    // after a move, and stays as it was when the files could not be moved.
    std::string MoveNode(TMailboxNode* dragged, TMailboxNode* target);
    // Messages dropped from an index window on a mailbox node: copied with `copy`, else moved.
    void DropMessages(TFrmIndex& source, TMailboxNode* target, bool copy);
    // A contact dropped on the tree (`target` null: on no node): a new mailbox named after it
    // (or the mailbox dropped on) and an auto script filing its mail there.
    TMailboxNode* DropContact(std::string_view firstName, std::string_view lastName,
                              std::string_view email, TMailboxNode* target,
                              TAutoScriptMaker& scripts);

    // The tree as "mboxdesc.ini" holds it: one line per node, depth first, indented by tabs.
    std::string DescriptionText() const;
    void WriteDescription(const std::filesystem::path& file) const;

  private:
    using NodeList = std::vector<std::unique_ptr<TMailboxNode>>;
    NodeList& SiblingsOf(const TMailboxNode* node);
    const NodeList& SiblingsOf(const TMailboxNode* node) const;
    TMailboxNode* AddNode(TMailboxNode* parent, std::string text, int icon);
    void PopulateTreeView(const std::filesystem::path& folder, TMailboxNode* parent);
    TMailboxNode* PlaceNew(std::string_view wanted, int icon);
    std::filesystem::path NodePath(const TMailboxNode* node) const;
    std::string OpenName() const;
    void RemoveNode(TMailboxNode* node);
    bool ConfirmDelete(const TMailboxNode* node);
    std::string DeleteNode(TMailboxNode* node, bool toTrash);
    std::string Tip(std::string text);
    // Shows and returns `what` "relPath"`more`: `reason`, as an error box.
    std::string Failure(std::string_view what, std::string_view relPath, std::string_view reason,
                        std::string_view more = {});

    std::filesystem::path mailFolder_;
    TMailboxHost& host_;
    Platform& platform_;
    TStoreFeedback& feedback_;
    NodeList top_;
    TMailboxNode* selected_ = nullptr;
};

}  // namespace kivo
