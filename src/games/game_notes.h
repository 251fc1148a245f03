#pragma once
// What the games show in their windows, move lists and the private pane,
// in both interface languages (UTF-8).  The moves on the wire and in the
// record files never use these.
#include "text/shown_text.h"

namespace games::notes {

using text::ShownText;

inline constexpr ShownText kYouWonAgainst{"Вы выиграли у ", "You won against "};
inline constexpr ShownText kYouLostTo{"Вы проиграли ", "You lost to "};
inline constexpr ShownText kMateYouWon{"Мат! Вы выиграли у ", "Mate! You won against "};
inline constexpr ShownText kMateYouLost{"Мат! Вы проиграли ", "Mate! You lost to "};
inline constexpr ShownText kStalemateNote{"Пат!", "Stalemate!"};
inline constexpr ShownText kParty{"<fsize=9>Партия", "<fsize=9>Game"};
inline constexpr ShownText kYouDash{"Вы - ", "You - "};
inline constexpr ShownText kDashYou{" - Вы", " - You"};
inline constexpr ShownText kWhiteWon{"Белые выиграли", "White won"};
inline constexpr ShownText kBlackWon{"Черные выиграли", "Black won"};
inline constexpr ShownText kWhiteSurrendered{"Белые сдались", "White surrendered"};
inline constexpr ShownText kBlackSurrendered{"Черные сдались", "Black surrendered"};
inline constexpr ShownText kMate{"Мат", "Mate"};
inline constexpr ShownText kStalemate{"Пат", "Stalemate"};
inline constexpr ShownText kDraw{"Ничья", "Draw"};
// Piece letters of the chess move list (rook, knight, bishop, queen, king),
// the king of checkers, and castling.
inline constexpr ShownText kRookLetter{"Л", "R"};
inline constexpr ShownText kKnightLetter{"К", "N"};
inline constexpr ShownText kBishopLetter{"С", "B"};
inline constexpr ShownText kQueenLetter{"Ф", "Q"};
inline constexpr ShownText kKingLetter{"Кр", "K"};
inline constexpr ShownText kCheckersKingLetter{"Д", "K"};
inline constexpr ShownText kKingSideCastling{"О-О", "O-O"};
inline constexpr ShownText kQueenSideCastling{"О-О-О", "O-O-O"};
// Notes of the game channel.
inline constexpr ShownText kRecordDamaged{"Запись партии повреждена и не загружена: ",
                                          "The game record is damaged and was not loaded: "};
inline constexpr ShownText kDrawDeclined{"Предложение ничьей отклонено", "Draw offer declined"};
inline constexpr ShownText kNoWish{"Не, нет желания", "No, not in the mood"};
inline constexpr ShownText kStoppedTheGame{" прекратил игру", " stopped the game"};
inline constexpr ShownText kSurrenderedNote{" сдался!", " surrendered!"};
inline constexpr ShownText kPong{"Понг", "Pong"};
inline constexpr ShownText kPing{"Пинг", "Ping"};
inline constexpr ShownText kDrawNote{": ничья!", ": draw!"};
inline constexpr ShownText kNewerVersion{"Внимание! Ваш партнер имеет более новую версию клиента - <b>",
                                         "Attention! Your partner has a newer version of the client - <b>"};
inline constexpr ShownText kContinueOfferSent{"Предложение продолжить партию послано", "Offer to continue the game sent"};
inline constexpr ShownText kDrawOfferSent{"Предложение ничьей послано ", "Draw offer sent to "};
inline constexpr ShownText kYouSurrendered{"Вы сдались ", "You surrendered to "};
inline constexpr ShownText kOnceMoreSent{"Предложение сыграть еще послано ", "Offer of one more game sent to "};
inline constexpr ShownText kInviteSent[3] = {{"Предложение сыграть в шашки послано ", "Checkers game offer sent to "},
                                             {"Предложение сыграть в шахматы послано ", "Chess game offer sent to "},
                                             {"Предложение сыграть в реверси послано ", "Reversi game offer sent to "}};
inline constexpr ShownText kChatLabel[3] = {{" Шашки: ", " Checkers: "}, {" Шахматы: ", " Chess: "},
                                            {" Реверси: ", " Reversi: "}};

inline constexpr ShownText kAll[] = {
    kYouWonAgainst,    kYouLostTo,       kMateYouWon,        kMateYouLost,       kStalemateNote,
    kParty,            kYouDash,         kDashYou,           kWhiteWon,          kBlackWon,
    kWhiteSurrendered, kBlackSurrendered, kMate,             kStalemate,         kDraw,
    kRookLetter,       kKnightLetter,    kBishopLetter,      kQueenLetter,       kKingLetter,
    kCheckersKingLetter, kKingSideCastling, kQueenSideCastling, kRecordDamaged,  kDrawDeclined,
    kNoWish,           kStoppedTheGame,  kSurrenderedNote,   kPong,              kPing,
    kDrawNote,         kNewerVersion,    kContinueOfferSent, kDrawOfferSent,     kYouSurrendered,
    kOnceMoreSent,     kInviteSent[0],   kInviteSent[1],     kInviteSent[2],     kChatLabel[0],
    kChatLabel[1],     kChatLabel[2]};

}  // namespace games::notes
