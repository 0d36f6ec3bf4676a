#include "tests/script/scriptfixture.h"

#include "base/bytes.h"

namespace kivo::test {

namespace {
TScriptPaths MakePaths(const std::filesystem::path& root) {
    std::filesystem::create_directories(root / "Mail");
    std::filesystem::create_directories(root / "Scripts");
    std::filesystem::create_directories(root / "Signatures");
    return {root,
            root / "Mail",
            root / "Scripts",
            root / "Signatures",
            root / "kivo.ini",
            root / "accounts.ini"};
}
}  // namespace

ScriptFixture::ScriptFixture()
    : root(dir.path()), paths(MakePaths(root)), script(paths, platform, host) {}

bool ScriptFixture::Run(const std::string& text) {
    script.ResetTables();
    return script.ParseScript(SplitLines(text));
}

TmsMessage ScriptFixture::RunOn(const std::string& text, const TmsMessage& message) {
    script.ResetTables();
    script.CreateMsg("%message") = message;
    script.ParseScript(SplitLines(text));
    return script.CreateMsg("%message");
}

std::string ScriptFixture::Var(const std::string& name) const {
    const int index = script.FindVar(name);
    return index < 0 ? "<none>" : script.Variables()[static_cast<std::size_t>(index)].value;
}

std::string ScriptFixture::Error(const std::string& text) {
    try {
        Run(text);
    } catch (const ESyntaxError& e) {
        return e.what();
    }
    return "";
}

}  // namespace kivo::test
