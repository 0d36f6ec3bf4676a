#include "app/cli/cli.h"

namespace kivo::cli {

namespace {
// clang-format off
constexpr Command kCommands[] = {
    {"init", "", "create the program's data folders as start-up does", InitCommand},
    {"mbx count", "FILE", "print the number of messages in a mailbox file", MbxCountCommand},
    {"mbx extract", "FILE N", "print message N of a mailbox file", MbxExtractCommand},
    {"account list", "", "list the accounts; * marks the default account", AccountListCommand},
    {"account add", "NAME [--email E] [--name N] [--pop-server S] [--pop-user U] "
                    "[--password P | --password-stdin] [--smtp S] [--leave-mail 0|1] "
                    "[--skip-big KB] [--check 0|1] [--sound 0|1] [--sig S] [--tag T]",
     "add an account", AccountAddCommand},
    {"account set", "NAME KEY=VALUE...", "change keys of an account (POPPass and SMTPPass are "
     "given plain; POPSecurity=none|stls|tls, SMTPSecurity=none|starttls|tls, "
     "SMTPAuth=none|pop|own, SMTPUser, TrustCert=SHA-256 fingerprint)", AccountSetCommand},
    {"account delete", "NAME", "delete an account (not the last one)", AccountDeleteCommand},
    {"account default", "[NAME]", "print or choose the default account", AccountDefaultCommand},
    {"mime dump", "FILE", "decode a raw message file and print the result as JSON", MimeDumpCommand},
    {"mime encode", "FILE", "decode a raw message file and print it encoded again", MimeEncodeCommand},
    {"ls", "MAILBOX [--sort subject|from|date|size|to|priority [--desc]] "
           "[--show CRITERION [TEXT] [--hide-rest]]",
     "list a mailbox's index: Number, Icon, Unread, HasAttachment, Date, From, Subject, Size, "
     "To, Priority (tab-separated; * marks tagged entries)", LsCommand},
    {"show", "MAILBOX NUMBER", "print a message's header and body lines and mark it read", ShowCommand},
    {"delete", "MAILBOX NUMBER...", "delete messages (a copy goes to Trash)", DeleteCommand},
    {"move", "MAILBOX NUMBER... --to TARGET", "move messages to another mailbox", MoveCommand},
    {"copy", "MAILBOX NUMBER... --to TARGET", "copy messages to another mailbox", CopyCommand},
    {"compress", "MAILBOX", "remove deleted messages from the file, bring status lines up to date",
     CompressCommand},
    {"repair", "MAILBOX", "set right what interrupted programs left in a mailbox (an unfinished "
     "message, temporary files) and build its index again; prints what it found and did",
     RepairCommand},
    {"empty-trash", "", "empty the Trash mailbox", EmptyTrashCommand},
    {"mailbox tree", "", "print the mailbox tree as mboxdesc.ini holds it", MailboxTreeCommand},
    {"mailbox new", "NAME [--in FOLDER]", "create a mailbox", MailboxNewCommand},
    {"mailbox mkdir", "NAME [--in FOLDER]", "create a folder of mailboxes", MailboxMkdirCommand},
    {"mailbox rename", "PATH NEWNAME", "rename a mailbox or folder", MailboxRenameCommand},
    {"mailbox delete", "PATH [--yes]", "delete a mailbox or folder (--yes: also when not empty)",
     MailboxDeleteCommand},
    {"mailbox move", "PATH --onto NODEPATH", "move a mailbox or folder (into a folder, or beside "
     "a mailbox)", MailboxMoveCommand},
    {"find", "TEXT [--exclude TEXT] [--match-case] [--exclude-match-case] "
             "[--current-folder MAILBOX] [--into NAME]",
     "copy the messages holding TEXT into a results mailbox; prints its name and the count",
     FindCommand},
    {"check", "", "fetch the mail of every account marked for checking into In; the progress "
     "log goes to stderr, the exit status is 1 when an account failed", CheckCommand},
    {"send", "", "deliver the messages queued in Out through SMTP; copies go to Sent; the exit "
     "status is 1 when a message failed", SendCommand},
    {"run", "[/m ADDRESS]", "run as the program's one instance: check mail on its timer and take "
     "commands of later starts (kivo /m ADDRESS); ends on Ctrl-C or SIGTERM", RunCommand},
    {"script list", "", "list the scripts: name TAB the comment under its header line",
     ScriptListCommand},
    {"script run", "NAME MAILBOX NUMBER...", "run a script on messages of a mailbox as the Now "
     "button does; messages the script deletes go to the deleted list", ScriptRunCommand},
    {"script dry-run", "FILE", "run a script file without a message and print its variables "
     "(name TAB value)", ScriptDryRunCommand},
    {"script filters", "", "print the Incoming and Outgoing filter lists", ScriptFiltersCommand},
    {"script builtin", "", "write the built-in scripts into the script folder (overwriting "
     "them); prints their names", ScriptBuiltinCommand},
    {"compose", "[--account NAME] [--to TEXT]... [--cc TEXT]... [--bcc TEXT]... [--subject TEXT] "
                "[--attach FILE]... [--priority low|normal|high] [--no-signature] "
                "(--queue | --send)",
     "write a message with the body from standard input; queue it in Out or send it now",
     ComposeCommand},
    {"mailto", "URL (--queue | --send)", "write the message a mailto: link describes",
     MailtoCommand},
    {"reply", "MAILBOX NUMBER [--to TEXT] (--queue | --send)",
     "reply to a message; standard input is typed above the quote", ReplyCommand},
    {"reply-all", "MAILBOX NUMBER [--to TEXT] (--queue | --send)",
     "reply to the sender and every recipient but yourself", ReplyAllCommand},
    {"forward", "MAILBOX NUMBER [--to TEXT] (--queue | --send)",
     "forward a message quoted; standard input is typed above the quote", ForwardCommand},
    {"bounce", "MAILBOX NUMBER [--to TEXT] (--queue | --send)",
     "send a message on unchanged with its first sender as the sender", BounceCommand},
    {"addressbook list", "", "list the address book: first name, last name, e-mail (tab-separated)",
     AddressbookListCommand},
    {"addressbook add", "FIRST [LAST] [--email TEXT] [--nick TEXT]",
     "add a contact (a nickname takes the place of the first name)", AddressbookAddCommand},
    {"addressbook add-sender", "MAILBOX NUMBER", "add a message's sender to the address book",
     AddressbookAddSenderCommand},
    {"addressbook resolve", "TEXT", "print the addresses a typed name stands for",
     AddressbookResolveCommand},
    {"addressbook import", "FILE.vcf", "add the contacts of a vCard file (3.0, 4.0 or 2.1)",
     AddressbookImportCommand},
    {"addressbook export", "FILE.vcf", "write the address book as a vCard 3.0 file",
     AddressbookExportCommand},
};
// clang-format on
}  // namespace

std::span<const Command> Commands() { return kCommands; }

}  // namespace kivo::cli
