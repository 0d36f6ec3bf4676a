// The Secret Service through libsecret: GNOME Keyring, KWallet and KeePassXC all answer it.

#include <libsecret/secret.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "base/secretstore.h"

namespace kivo {

namespace {

const SecretSchema kSchema = {"org.kivo.Password",
                              SECRET_SCHEMA_NONE,
                              {{"folder", SECRET_SCHEMA_ATTRIBUTE_STRING},
                               {"file", SECRET_SCHEMA_ATTRIBUTE_STRING},
                               {"section", SECRET_SCHEMA_ATTRIBUTE_STRING},
                               {"key", SECRET_SCHEMA_ATTRIBUTE_STRING},
                               {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                              0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

using Table = std::unique_ptr<GHashTable, decltype(&g_hash_table_unref)>;

// The table borrows the strings of `attributes`, which outlive it.
Table MakeTable(const TKeyring::Attributes& attributes) {
    Table table(g_hash_table_new(g_str_hash, g_str_equal), g_hash_table_unref);
    for (const auto& [name, value] : attributes)
        g_hash_table_insert(table.get(), const_cast<char*>(name.c_str()),
                            const_cast<char*>(value.c_str()));
    return table;
}

[[noreturn]] void Fail(GError* error) {
    const std::string text = error && error->message ? error->message : "unknown error";
    g_clear_error(&error);
    throw EKeyringError(text);
}

class TSecretService : public TKeyring {
  public:
    std::optional<std::string> Lookup(const Attributes& attributes) override {
        GError* error = nullptr;
        gchar* found = secret_password_lookupv_sync(&kSchema, MakeTable(attributes).get(),
                                                    nullptr, &error);
        if (error) Fail(error);
        if (!found) return std::nullopt;
        std::string secret(found);
        secret_password_free(found);
        return secret;
    }
    void Store(const Attributes& attributes, const std::string& label,
               std::string_view secret) override {
        GError* error = nullptr;
        const std::string text(secret);
        if (!secret_password_storev_sync(&kSchema, MakeTable(attributes).get(),
                                         SECRET_COLLECTION_DEFAULT, label.c_str(), text.c_str(),
                                         nullptr, &error))
            Fail(error);
    }
    void Clear(const Attributes& attributes) override {
        GError* error = nullptr;
        secret_password_clearv_sync(&kSchema, MakeTable(attributes).get(), nullptr, &error);
        if (error) Fail(error);
    }
};

// Whether a session bus is there to ask. Without one, GLib would try to start a bus of its
// own (dbus-launch), which a cron job or a server must never do.
bool HasSessionBus() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    return runtime && *runtime && ::stat((std::string(runtime) + "/bus").c_str(), &st) == 0 &&
           S_ISSOCK(st.st_mode);
}

}  // namespace

std::unique_ptr<TKeyring> OpenSecretService() {
    if (!HasSessionBus()) return nullptr;
    // The service must answer, and have a default collection to store in, before any password
    // is trusted to it.
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_LOAD_COLLECTIONS, nullptr,
                                                     &error);
    if (!service) {
        g_clear_error(&error);
        return nullptr;
    }
    SecretCollection* collection =
        secret_collection_for_alias_sync(service, SECRET_COLLECTION_DEFAULT,
                                         SECRET_COLLECTION_NONE, nullptr, &error);
    g_object_unref(service);
    g_clear_error(&error);
    if (!collection) return nullptr;
    g_object_unref(collection);
    return std::make_unique<TSecretService>();
}

}  // namespace kivo
