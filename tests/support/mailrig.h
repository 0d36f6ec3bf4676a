#pragma once
// The mail-server rig of the tests (real Dovecot and Postfix on loopback, described by the
// MAILPEERS_* variables of `mailpeers env`): users of a test's own and mail seeded into them.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo::test {

class MailRig {
  public:
    // The rig the environment names, or nothing when the tests run without one.
    static std::optional<MailRig> FromEnvironment();

    // "host:port" of the POP3 server.
    const std::string& Pop3Server() const { return pop3_; }
    // A new user with the password NAME + "pw" and an empty maildir; the name starts with
    // `prefix` and is unique to this process and moment. Returns once the server knows the
    // user (within a second). Throws when the rig refuses.
    std::string AddUser(std::string_view prefix) const;
    // Delivers whole message texts into the user's maildir, in order.
    void Seed(const std::string& user, const std::vector<std::string>& messages) const;
    // The user's maildir folder (its "new" and "cur" hold what the server keeps).
    std::filesystem::path Maildir(const std::string& user) const;

  private:
    std::filesystem::path dir_;
    std::string pop3_;
};

}  // namespace kivo::test
