#pragma once
// What stands behind the simulated box: something that gets one instrument command and
// answers with the reply bytes the box sends back as its numbered data frames.

#include <atomic>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tools/boxsim/ColdSourceModel.h"

namespace velk::boxsim {

// One reply, cut into the pieces the box sends as separate data frames (none: no reply).
using TReplyPieces = std::vector<std::vector<std::uint8_t>>;

class TInstrumentSide {
public:
    virtual ~TInstrumentSide() = default;
    // Payload: the command payload of a type-3 request (length bytes and filler included).
    virtual TReplyPieces Execute(const std::uint8_t* Payload, int Len) = 0;
};

// Faults and forced values of the simulated instruments.
struct TInstrumentOptions {
    bool SilentController1 = false;
    bool SilentController2 = false;
    bool SilentModule = false;
    // When given, the silent instruments above answer until it is set.
    const std::atomic<bool>* Silence = nullptr;
    double Corrupt = 0;              // share of replies with a damaged text
    double Split = 0.5;              // share of replies cut across two data frames
    std::optional<int> RefuseWrites; // controllers refuse every write with this code
    std::vector<std::pair<TQuantity, double>> Forced;
    double Speed = 1.0; // model seconds per real second
    unsigned Seed = 1;
};

// The two temperature controllers (addresses 1 and 2) and the analog input module
// (address 1), answering from the cold source model.
class TInstruments : public TInstrumentSide {
public:
    explicit TInstruments(const TInstrumentOptions& Options = {});
    TReplyPieces Execute(const std::uint8_t* Payload, int Len) override;

private:
    using TBytes = std::vector<std::uint8_t>;
    std::optional<std::string> ControllerText(int Address, const std::string& Command);
    std::optional<std::string> ModuleText(int Address, int Channel);
    std::string Corrupted(std::string Text);
    bool Silenced(bool Silent) const {
        return Silent && (!Options_.Silence || Options_.Silence->load());
    }
    TReplyPieces Pieces(TBytes Reply);

    TInstrumentOptions Options_;
    TColdSourceModel Model_;
    std::mt19937 Random_;
};

} // namespace velk::boxsim
