#pragma once
// Users of their own on the Dovecot/Postfix rig (mailpeers), for tests that fetch and delete
// mail there: a line in Dovecot's user file and an empty maildir owned as the rig's users'
// are, and messages seeded into it.

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kivo::test {

struct RigUser {
    std::string name;
    std::string password;           // name + "pw"
    std::filesystem::path maildir;  // its Maildir folder
    std::string popServer;          // "host:port" of the rig's POP3
    std::time_t addedAt = 0;        // when its line went into the user file
};

// Whether the rig's environment (mailpeers env) is there.
bool RigAvailable();
// A new user whose name starts with `prefix`; nothing when the rig cannot take one.
std::optional<RigUser> NewRigUser(const std::string& prefix);
// Dovecot looks at its user file at most once a second: a user added within the second of
// its last look is known from the next second on. Waits for that second.
void AwaitRigUser(const RigUser& user);
// Delivers each text as a message to the user's maildir; false when seeding failed.
bool SeedRig(const RigUser& user, const std::vector<std::string>& messages);

}  // namespace kivo::test
