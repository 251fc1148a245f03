#pragma once
// The words of the game channel: what follows a kind's prefix in a game
// message.  The sender and the reader use these same constants.
#include <string_view>

namespace games::words {

// Whole messages.
inline constexpr std::string_view kOnceMore = "Once more?";
inline constexpr std::string_view kOfferDraw = "I offer draw";
inline constexpr std::string_view kDraw = "Draw";
inline constexpr std::string_view kNoDraw = "No, I do not want draw";
inline constexpr std::string_view kNoPlay = "No, I do not want play";
inline constexpr std::string_view kLetUsWhite = "Let us. I play white";
inline constexpr std::string_view kLetUsBlack = "Let us. I play black";
inline constexpr std::string_view kStop = "I stop the game";
inline constexpr std::string_view kSynchronize = "Synchronize";
inline constexpr std::string_view kSurrender = "I surrender";
inline constexpr std::string_view kPong = "Pong";
inline constexpr std::string_view kContinue = "Continue?";

// Words followed by a value.
inline constexpr std::string_view kParty = "Party: ";
inline constexpr std::string_view kPing = "Ping:";
inline constexpr std::string_view kChat = "Chat: ";
inline constexpr std::string_view kVersion = "Version:";

}  // namespace games::words
