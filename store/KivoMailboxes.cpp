#include "store/KivoMailboxes.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>

#include "base/bytes.h"
#include "base/files.h"
#include "base/platform.h"
#include "store/KivoIndex.h"
#include "store/mailboxfiles.h"
#include "store/mailboxhost.h"
#include "store/mailboxlock.h"
#include "store/msgops.h"
#include "store/populate.h"
#include "store/resultsmark.h"

namespace kivo {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kForbidden = "\\/:*?\"<>|";
constexpr std::string_view kMailboxExts[] = {".mbx", ".idx", ".d"};

bool IsMailboxNode(const TMailboxNode* node) {
    return node && (node->Icon == niMailbox || node->Icon == niOpenMailbox);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Slashes for the path separators of a stored relative path.
std::string Slashed(std::string_view relPath) {
    std::string path(relPath);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// Renames the files of mailbox `from` (mail folder path without extension) to `to`, all or
// none: when one cannot be renamed, those renamed before it go back and the error is thrown.
void RenameMailboxFiles(const fs::path& from, const fs::path& to) {
    const TMailboxFiles files = TMailboxFiles::Of(from);
    const fs::path* paths[] = {&files.Mbx, &files.Idx, &files.Del};
    std::vector<std::pair<fs::path, fs::path>> done;
    for (int i = 0; i < 3; ++i) {
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(*paths[i], ec))) continue;
        const fs::path target(to.string() + std::string(kMailboxExts[i]));
        fs::rename(*paths[i], target, ec);
        if (ec) {
            for (auto it = done.rbegin(); it != done.rend(); ++it) {
                std::error_code back;
                fs::rename(it->second, it->first, back);
            }
            throw std::system_error(ec, paths[i]->string());
        }
        done.emplace_back(*paths[i], target);
    }
}

// The messages of a mailbox that are not deleted, all selected.
void SelectAllMessages(TFrmIndex& window) {
    PopulateAll(window);
    window.SelectAll();
}

}  // namespace

bool IsValidName(std::string_view name) {
    return !name.empty() && name.find_first_of(kForbidden) == std::string_view::npos;
}

TFrmMailboxes::TFrmMailboxes(fs::path mailFolder, TMailboxHost& host, Platform& platform,
                             TStoreFeedback& feedback)
    : mailFolder_(std::move(mailFolder)), host_(host), platform_(platform), feedback_(feedback) {}

TFrmMailboxes::NodeList& TFrmMailboxes::SiblingsOf(const TMailboxNode* node) {
    return node && node->Parent ? node->Parent->Children : top_;
}

const TFrmMailboxes::NodeList& TFrmMailboxes::SiblingsOf(const TMailboxNode* node) const {
    return node && node->Parent ? node->Parent->Children : top_;
}

TMailboxNode* TFrmMailboxes::AddNode(TMailboxNode* parent, std::string text, int icon) {
    auto node = std::make_unique<TMailboxNode>();
    node->Text = std::move(text);
    node->Icon = icon;
    node->Parent = parent;
    NodeList& list = parent ? parent->Children : top_;
    list.push_back(std::move(node));
    return list.back().get();
}

void TFrmMailboxes::Init() {
    top_.clear();
    selected_ = nullptr;
    AddNode(nullptr, "In", niIn);
    AddNode(nullptr, "Out", niOut);
    AddNode(nullptr, "Sent", niSent);
    PopulateTreeView(mailFolder_, nullptr);
    AddNode(nullptr, "Trash", niTrash);
}

void TFrmMailboxes::PopulateTreeView(const fs::path& folder, TMailboxNode* parent) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return;
    std::vector<fs::directory_entry> entries;
    for (const auto& entry : fs::directory_iterator(folder, ec)) entries.push_back(entry);
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return LowerCase(a.path().filename().string()) < LowerCase(b.path().filename().string());
    });
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        if (entry.is_directory(ec)) {
            TMailboxNode* node = AddNode(parent, name, niFolder);
            PopulateTreeView(entry.path(), node);
        } else if (name.size() > 4 &&
                   EqualsNoCase(std::string_view(name).substr(name.size() - 4), ".mbx")) {
            const std::string stem = name.substr(0, name.size() - 4);
            if (!parent && IsSystemMailbox(stem)) continue;
            AddNode(parent, stem, niMailbox);
        }
    }
}

TMailboxNode* TFrmMailboxes::FindNode(std::string_view relPath) const {
    const std::string path = Slashed(relPath);
    const NodeList* level = &top_;
    TMailboxNode* found = nullptr;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        std::string_view part = std::string_view(path).substr(
            start, slash == std::string::npos ? std::string::npos : slash - start);
        auto it = std::find_if(level->begin(), level->end(),
                               [&](const auto& n) { return EqualsNoCase(n->Text, part); });
        if (it == level->end()) return nullptr;
        found = it->get();
        if (slash == std::string::npos) break;
        level = &found->Children;
        start = slash + 1;
    }
    return found;
}

std::string TFrmMailboxes::GetRelPath(const TMailboxNode* node) const {
    std::string path;
    for (const TMailboxNode* n = node; n; n = n->Parent) {
        path = n == node ? n->Text : n->Text + "/" + path;
    }
    return path;
}

fs::path TFrmMailboxes::NodePath(const TMailboxNode* node) const {
    return MailboxBase(mailFolder_, GetRelPath(node));
}

std::string TFrmMailboxes::OpenName() const {
    return Slashed(host_.MainIndex().MailboxName);
}

std::string TFrmMailboxes::FindUniqueName(const TMailboxNode* node, std::string_view name) const {
    const NodeList& siblings = SiblingsOf(node);
    auto taken = [&](std::string_view candidate, bool countSelf) {
        return std::any_of(siblings.begin(), siblings.end(), [&](const auto& n) {
            // Without regard to case: the mailbox files are found that way.
            return (countSelf || n.get() != node) && EqualsNoCase(n->Text, candidate);
        });
    };
    if (!taken(name, false)) return std::string(name);
    std::string candidate(name);
    if (candidate.empty() || !IsDigit(candidate.back())) candidate += " 0";
    do {
        const char last = candidate.back();
        candidate.pop_back();
        candidate += IsDigit(last) ? std::to_string(last - '0' + 1) : std::string("1");
    } while (taken(candidate, true));
    return candidate;
}

void TFrmMailboxes::RevealOpenMailbox() {
    const std::string name = OpenName();
    NodeList* level = &top_;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = name.find('/', start);
        const std::string part =
            name.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        const bool last = slash == std::string::npos;
        auto it = std::find_if(level->begin(), level->end(), [&](const auto& n) {
            return EqualsNoCase(n->Text, part) &&
                   (!last || n->Icon == niMailbox || n->Icon == niOpenMailbox);
        });
        if (it == level->end()) return;
        TMailboxNode* node = it->get();
        if (!last) {
            node->Icon = niFolderExpanded;
            level = &node->Children;
            start = slash + 1;
            continue;
        }
        selected_ = node;
        node->Icon = niOpenMailbox;
        return;
    }
}

bool TFrmMailboxes::Open(TMailboxNode* node) {
    if (!node || node->IsFolder()) return false;
    const std::string relPath = GetRelPath(node);
    if (relPath == OpenName()) return false;
    try {
        host_.SaveInfo();
        std::vector<TMailboxNode*> stack;
        for (auto& n : top_) stack.push_back(n.get());
        while (!stack.empty()) {
            TMailboxNode* n = stack.back();
            stack.pop_back();
            if (n->Icon == niOpenMailbox) n->Icon = niMailbox;
            for (auto& c : n->Children) stack.push_back(c.get());
        }
        TFrmIndex& index = host_.MainIndex();
        index.Folder = mailFolder_;
        index.MailboxName = relPath;
        if (node->Icon == niMailbox) node->Icon = niOpenMailbox;
        host_.Init();
    } catch (const std::exception&) {
        platform_.ShowMessage("Could not save the mailbox, most likely due to lack of free space!");
        return false;
    }
    return true;
}

TMailboxNode* TFrmMailboxes::PlaceNew(std::string_view wanted, int icon) {
    TMailboxNode* parent = nullptr;
    if (selected_ && selected_->IsFolder()) {
        parent = selected_;
        parent->Icon = niFolderExpanded;
    } else if (selected_) {
        parent = selected_->Parent;
    }
    TMailboxNode* node = AddNode(parent, std::string(), icon);
    node->Text = FindUniqueName(node, wanted);
    return node;
}

TMailboxNode* TFrmMailboxes::NewMailbox() {
    TMailboxNode* node = PlaceNew("New Mailbox", niMailbox);
    const fs::path mbx = NodePath(node).string() + ".mbx";
    std::error_code ec;
    try {
        if (!fs::exists(mbx, ec)) WriteFileAtomic(mbx, "");
    } catch (...) {
        // The tree shows only what is on the disk.
        RemoveNode(node);
        throw;
    }
    return node;
}

TMailboxNode* TFrmMailboxes::NewFolder() {
    TMailboxNode* node = PlaceNew("New Folder", niFolder);
    const fs::path dir = NodePath(node);
    if (!CreateFolderOneLevel(dir)) {
        RemoveNode(node);
        throw std::runtime_error("cannot create the folder " + dir.string());
    }
    return node;
}

std::string TFrmMailboxes::Tip(std::string text) {
    platform_.ShowTip(text);
    return text;
}

std::string TFrmMailboxes::Failure(std::string_view what, std::string_view relPath,
                                   std::string_view reason, std::string_view more) {
    std::string text = std::string(what) + " \"" + std::string(relPath) + "\"" + std::string(more) +
                       ": " + std::string(reason);
    platform_.ShowMessage(text);
    return text;
}

std::string TFrmMailboxes::Rename(TMailboxNode* node, std::string_view text) {
    if (!node) return {};
    const std::string oldPath = GetRelPath(node);
    if (!node->Parent && IsSystemMailbox(oldPath)) return Tip("Cannot rename system mailbox!");
    if (!IsValidName(text)) return Tip(std::string(kInvalidNameTip));
    std::string tip;
    std::string name = FindUniqueName(node, text);
    if (name != text) tip = Tip("Name already exists!");
    if (name == node->Text) return tip;

    const fs::path oldBase = NodePath(node);
    // A node whose files went away meanwhile has nothing to rename: saying it was renamed
    // would show a folder that is not there.
    std::error_code missing;
    const bool onDisk = node->IsFolder()
                            ? fs::is_directory(oldBase, missing)
                            : !IsMailboxNode(node) ||
                                  fs::exists(TMailboxFiles::Of(oldBase).Mbx, missing) ||
                                  fs::exists(TMailboxFiles::Of(oldBase).Idx, missing);
    if (!onDisk) {
        return Failure("Cannot rename", oldPath, std::generic_category().message(ENOENT),
                       " to \"" + name + "\"");
    }
    const std::string oldText = node->Text;
    node->Text = name;
    const std::string newPath = GetRelPath(node);
    const fs::path newBase = NodePath(node);
    TFrmIndex& index = host_.MainIndex();
    const std::string open = OpenName();
    std::error_code ec;
    try {
        if (IsMailboxNode(node)) {
            RenameMailboxFiles(oldBase, newBase);
        } else if (node->IsFolder()) {
            fs::rename(oldBase, newBase);
        }
    } catch (const std::system_error& e) {
        node->Text = oldText;
        return Failure("Cannot rename", oldPath, e.code().message(), " to \"" + name + "\"");
    }
    if (IsMailboxNode(node)) {
        if (EqualsNoCase(open, oldPath)) index.MailboxName = newPath;
    } else if (node->IsFolder()) {
        if (StartsWithNoCase(open, oldPath + "/")) {
            index.MailboxName = newPath + open.substr(oldPath.size());
        }
    }
    return tip;
}

void TFrmMailboxes::RemoveNode(TMailboxNode* node) {
    if (selected_ == node) selected_ = nullptr;
    NodeList& list = SiblingsOf(node);
    list.erase(
        std::remove_if(list.begin(), list.end(), [&](const auto& n) { return n.get() == node; }),
        list.end());
}

// Whether the user lets every mailbox with messages in `node` go, asked mailbox by mailbox.
bool TFrmMailboxes::ConfirmDelete(const TMailboxNode* node) {
    for (const auto& child : node->Children) {
        if (!ConfirmDelete(child.get())) return false;
    }
    if (node->IsFolder()) return true;
    std::error_code ec;
    const fs::path mbx = TMailboxFiles::Of(NodePath(node)).Mbx;
    // A results mailbox a search left without a match holds only its mark: nothing to lose.
    if (!(fs::file_size(mbx, ec) > 0 && !ec) || HoldsOnlyResultsMark(mbx)) return true;
    return platform_.AskYesNo("Mailbox \"" + node->Text +
                              "\" is not empty!\nAre you sure you want to delete it?\n"
                              "This operation cannot be undone.");
}

// Deletes a node and everything in it, each mailbox's messages first copied to the Trash when
// `toTrash` is set; the failure shown, or empty. A mailbox whose files cannot all go stays.
std::string TFrmMailboxes::DeleteNode(TMailboxNode* node, bool toTrash) {
    std::error_code ec;
    if (node->IsFolder()) {
        std::vector<TMailboxNode*> children;
        for (auto& c : node->Children) children.push_back(c.get());
        for (TMailboxNode* child : children) {
            std::string failure = DeleteNode(child, toTrash);
            if (!failure.empty()) return failure;
        }
        fs::remove(NodePath(node), ec);
        if (ec) return Failure("Cannot delete", GetRelPath(node), ec.message());
        RemoveNode(node);
        return {};
    }
    const std::string relPath = GetRelPath(node);
    const TMailboxFiles files = TMailboxFiles::Of(NodePath(node));
    if (!fs::exists(files.Mbx, ec)) return {};
    if (toTrash && fs::file_size(files.Mbx, ec) > 0) {
        // Deleted to the Trash as messages are: the copies and their marks are one change,
        // so a crash leaves each message in the mailbox or in the Trash, never in both.
        TFrmIndex box;
        box.Folder = mailFolder_;
        box.MailboxName = relPath;
        try {
            SelectAllMessages(box);
            if (box.ItemCount() > 0) kivo::DeleteSelected(box, true, feedback_);
        } catch (const ECopyError& e) {
            return Failure("Cannot delete", relPath, e.Line());
        } catch (const std::exception& e) {
            const auto* sys = dynamic_cast<const std::system_error*>(&e);
            return Failure("Cannot delete", relPath, sys ? sys->code().message() : e.what(),
                           ", its messages cannot go to the Trash");
        }
    }
    try {
        // Under the lock, so no copy or delete of another process acts on the files between.
        // The deleted list goes last: it says which messages are in the Trash already, and its
        // stamp keeps it from ever applying to a new file of the same name.
        TMailboxLock lock(files);
        for (const fs::path* file : {&files.Idx, &files.Mbx, &files.Del}) {
            fs::remove(*file, ec);
            if (ec) return Failure("Cannot delete", relPath, ec.message());
        }
    } catch (const std::system_error& e) {
        return Failure("Cannot delete", relPath, e.code().message());
    }
    if (EqualsNoCase(relPath, OpenName())) {
        TFrmIndex& index = host_.MainIndex();
        index.ClearEntries();
        index.MailboxName.clear();
    }
    RemoveNode(node);
    return {};
}

std::string TFrmMailboxes::DeleteSelected(bool toTrash) {
    TMailboxNode* node = selected_;
    if (!node) return {};
    if (!node->Parent && IsSystemMailbox(node->Text)) {
        platform_.ShowMessage("Cannot delete system mailbox!");
        return "Cannot delete system mailbox!";
    }
    // Every question comes first: a mailbox the user keeps leaves everything as it was.
    if (!ConfirmDelete(node)) return {};
    TMailboxNode* parent = node->Parent;
    std::string failure = DeleteNode(node, toTrash);
    if (!failure.empty()) return failure;
    if (parent && parent->Children.empty() && parent->Icon == niFolderExpanded) {
        parent->Icon = niFolder;
    }
    return {};
}

std::string TFrmMailboxes::MoveNode(TMailboxNode* dragged, TMailboxNode* target) {
    if (!dragged || !target || dragged == target) return {};
    const std::string relPath = GetRelPath(dragged);
    if (!dragged->Parent && IsSystemMailbox(relPath)) return Tip("Cannot move system mailbox!");
    const fs::path dest = target->IsFolder()
                              ? NodePath(target)
                              : (target->Parent ? NodePath(target->Parent) : mailFolder_);
    const std::string open = OpenName();
    if ((IsMailboxNode(dragged) && EqualsNoCase(open, relPath)) ||
        (dragged->IsFolder() && StartsWithNoCase(open, relPath + "/"))) {
        return Tip("Close mailbox \"" + open + "\" first!");
    }
    std::error_code ec;
    if (dragged->IsFolder()) {
        const fs::path to = dest / dragged->Text;
        if (fs::exists(to, ec)) return Tip("Folder with the same name already exists!");
        fs::rename(NodePath(dragged), to, ec);
        if (ec) return Failure("Cannot move", relPath, ec.message());
    } else {
        if (fs::exists(FindFileNoCase(dest, dragged->Text + ".mbx"), ec)) {
            return Tip("Mailbox with the same name already exists!");
        }
        try {
            RenameMailboxFiles(NodePath(dragged), dest / dragged->Text);
        } catch (const std::system_error& e) {
            return Failure("Cannot move", relPath, e.code().message());
        }
    }
    Init();
    return {};
}

void TFrmMailboxes::DropMessages(TFrmIndex& source, TMailboxNode* target, bool copy) {
    if (!IsMailboxNode(target) && !(target && !target->Parent && target->Icon >= niIn)) return;
    const fs::path mbx = TMailboxFiles::Of(NodePath(target)).Mbx;
    if (copy) {
        CopyToFile(source, nullptr, mbx, feedback_);
    } else {
        MoveMessage(source, mbx, nullptr, feedback_);
    }
}

TMailboxNode* TFrmMailboxes::DropContact(std::string_view firstName, std::string_view lastName,
                                         std::string_view email, TMailboxNode* target,
                                         TAutoScriptMaker& scripts) {
    std::string name(!TrimView(firstName).empty()  ? firstName
                     : !TrimView(lastName).empty() ? lastName
                                                   : email);
    name = name.substr(0, 48);
    if (!IsValidName(name)) {
        std::erase_if(name, [](char c) { return kForbidden.find(c) != std::string_view::npos; });
    }
    if (TrimView(name).empty()) return nullptr;  // nothing to name a mailbox after
    TMailboxNode* node = target;
    if (!target || target->IsFolder()) {
        if (target) target->Icon = niFolderExpanded;
        node = AddNode(target, std::string(), niMailbox);
    }
    const bool isNew = node != target;
    const std::string unique = FindUniqueName(node, name);
    if (isNew) node->Text = unique;
    scripts.MakeScript(unique, GetRelPath(node), email);
    if (isNew) {
        const fs::path mbx = NodePath(node).string() + ".mbx";
        std::error_code ec;
        if (!fs::exists(mbx, ec)) WriteFileAtomic(mbx, "");
    }
    return node;
}

std::string TFrmMailboxes::DescriptionText() const {
    std::string text;
    auto write = [&](auto&& self, const NodeList& list, int depth) -> void {
        for (const auto& node : list) {
            text += std::string(static_cast<std::size_t>(depth), '\t') + node->Text + "\r\n";
            self(self, node->Children, depth + 1);
        }
    };
    write(write, top_, 0);
    return text;
}

void TFrmMailboxes::WriteDescription(const fs::path& file) const {
    WriteFileAtomic(file, DescriptionText());
}

}  // namespace kivo
