#pragma once
// The choice dialog (`TFrmChooseAddress`, "Choose address") asked when a typed name matches
// several contacts. The windows show a list; the terminal asks on standard input; without
// either the typed text stays as it is.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

inline constexpr const char* kChooseCaption = "Choose address";
inline constexpr const char* kChooseFound = "Multiple addresses found.";
inline constexpr const char* kChoosePrompt = "Please select the address to use for";

class TFrmChooseAddress {
  public:
    virtual ~TFrmChooseAddress() = default;
    // The chosen candidate; none for "None" or a closed dialog.
    virtual std::optional<std::string> Choose(std::string_view text,
                                              const std::vector<std::string>& candidates) = 0;
};

// Never chooses: the typed text is kept.
class TNoChoice : public TFrmChooseAddress {
  public:
    std::optional<std::string> Choose(std::string_view, const std::vector<std::string>&) override {
        return std::nullopt;
    }
};

}  // namespace kivo
