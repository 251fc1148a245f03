// The game channel between two players through their hosts: invitations,
// whole games, draws, surrender, synchronisation by numbers and pings, the
// version rule, messages without a window, records.
#include <gtest/gtest.h>

#include <fstream>

#include "game_harness.h"
#include "games/chess_board.h"
#include "games/game_words.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "text/line_file.h"

using namespace games;
using namespace games_test;

namespace {

class Duel : public ::testing::Test {
 protected:
  Duel()
      : dirA(TempDir("alice")), dirB(TempDir("bob")), alice(net, "Alice", dirA), bob(net, "Bob", dirB) {
    net.players = {{"Alice", &alice}, {"Bob", &bob}};
    alice.gameClients = {"Bob"};
    bob.gameClients = {"Alice"};
  }
  ~Duel() override {
    std::filesystem::remove_all(dirA);
    std::filesystem::remove_all(dirB);
  }

  // Alice invites, Bob accepts and picks his colour.
  void Start(GameKind kind, bool aliceWhite) {
    alice.channel.OfferGame(kind, "Bob");
    ASSERT_TRUE(net.Pump());
    ASSERT_EQ(bob.pending.size(), 1u);
    bob.Answer(true);                  // "Alice: Let's play ...?"
    ASSERT_EQ(bob.questions.back(), "Do you want to play white pieces?");
    bob.Answer(!aliceWhite);
    ASSERT_TRUE(net.Pump());
    ASSERT_NE(alice.channel.Find(kind, "Bob"), nullptr);
    ASSERT_NE(bob.channel.Find(kind, "Alice"), nullptr);
  }

  // The player whose move it is makes the first legal move (every step of a
  // capture); false when nobody can move.
  bool MoveFirstLegal(GameKind kind) {
    for (Player* p : {&alice, &bob}) {
      const std::string other = p == &alice ? "Bob" : "Alice";
      Game* g = p->channel.Find(kind, other);
      if (!g || g->State() != kOwnMove) continue;
      for (;;) {
        const uint64_t movable = g->Rules().MovableSquares();
        if (movable == 0) return false;
        const int from = std::countr_zero(movable);
        const int to = std::countr_zero(g->Rules().TargetsOf(from));
        const int8_t promotion = g->Rules().NeedsPromotion(from, to) ? 5 : 0;
        const LocalPlay play = p->channel.LocalMove(kind, other, from, to, promotion);
        if (play != LocalPlay::Continues) {
          EXPECT_EQ(play, LocalPlay::Complete);
          break;
        }
      }
      EXPECT_TRUE(net.Pump());
      return true;
    }
    return false;
  }

  Game& A(GameKind kind) { return *alice.channel.Find(kind, "Bob"); }
  Game& B(GameKind kind) { return *bob.channel.Find(kind, "Alice"); }

  Network net;
  std::string dirA, dirB;
  Player alice, bob;
};

TEST_F(Duel, InvitationColourChoiceAndReversiPlayedToTheEnd) {
  Start(GameKind::Reversi, true);
  EXPECT_EQ(net.SentBy("Alice")[0], "Let us play reversi?");
  EXPECT_EQ(net.SentBy("Alice")[1], "Version:2.8");
  EXPECT_EQ(bob.questions[0], "Alice: Let's play reversi?");
  EXPECT_EQ(alice.priv.back(), text::W("Предложение сыграть в реверси послано ") + "Bob");
  EXPECT_TRUE(A(GameKind::Reversi).White());
  EXPECT_EQ(A(GameKind::Reversi).State(), kOwnMove);
  EXPECT_EQ(B(GameKind::Reversi).State(), kOpponentMove);

  int moves = 0;
  while (MoveFirstLegal(GameKind::Reversi)) ASSERT_LT(++moves, 61);
  const Game& a = A(GameKind::Reversi);
  const Game& b = B(GameKind::Reversi);
  EXPECT_FALSE(a.Running());
  EXPECT_EQ(b.State(), Mirrored(a.State()));
  EXPECT_EQ(a.Rules().Position(), b.Rules().Position());
  EXPECT_EQ(a.MoveCount(), b.MoveCount());
  EXPECT_EQ(a.MoveList().back().markup, b.MoveList().back().markup);
  EXPECT_TRUE(text::StartsWith(a.MoveList().back().markup, "<fcol=ff0000><bcol=ffffff><b>"));
  // The moves of both sides went out numbered 1, 2, 3, ...: passes take no number.
  int number = 0;
  for (const Message& m : net.sent) {
    const std::string body = m.text.substr(7);
    if (body[0] >= '0' && body[0] <= '9') {
      EXPECT_EQ(std::stoi(body), ++number) << body;
    }
  }
  EXPECT_EQ(number, a.MoveCount());
}

TEST_F(Duel, CheckersPlayedToAWinNamesTheWinnerOnBothSides) {
  Start(GameKind::Checkers, false);  // Alice black
  int moves = 0;
  while (MoveFirstLegal(GameKind::Checkers)) ASSERT_LT(++moves, 400);
  const Game& a = A(GameKind::Checkers);
  const Game& b = B(GameKind::Checkers);
  ASSERT_FALSE(a.Running());
  EXPECT_EQ(b.State(), Mirrored(a.State()));
  EXPECT_EQ(a.Rules().Position(), b.Rules().Position());
  Player& winner = a.State() == kWon ? alice : bob;
  Player& loser = a.State() == kWon ? bob : alice;
  EXPECT_EQ(winner.ViewOf(GameKind::Checkers, loser.name)->chat.back(), text::W("Вы выиграли у ") + loser.name);
  EXPECT_EQ(loser.ViewOf(GameKind::Checkers, winner.name)->chat.back(), text::W("Вы проиграли ") + winner.name);
  const auto& list = a.MoveList();
  EXPECT_NE(list[list.size() - 2].markup.find("<fcol=0000ff>++<fcol=000000>"), std::string::npos);
  EXPECT_GT(winner.ViewOf(GameKind::Checkers, loser.name)->opponentMoves + loser.ViewOf(GameKind::Checkers, winner.name)->opponentMoves, 0);
}

TEST_F(Duel, DrawDeclinedThenAcceptedAndNeverTakenUnasked) {
  Start(GameKind::Checkers, true);
  // A "Draw" nobody asked for does not end Bob's game.
  alice.SendPrivateText("Bob", "Gm:Chk:Draw");
  ASSERT_TRUE(net.Pump());
  EXPECT_TRUE(B(GameKind::Checkers).Running());

  alice.channel.OfferDraw(GameKind::Checkers, "Bob");
  EXPECT_EQ(alice.questions.back(), "Offer draw?");
  alice.Answer(true);
  ASSERT_TRUE(net.Pump());
  EXPECT_EQ(bob.questions.back(), "Alice: Offer draw");
  bob.Answer(false);
  ASSERT_TRUE(net.Pump());
  EXPECT_EQ(alice.ViewOf(GameKind::Checkers, "Bob")->chat.back(), text::W("Предложение ничьей отклонено"));
  EXPECT_TRUE(A(GameKind::Checkers).Running());
  // The declined offer is gone: a late "Draw" does not end the game.
  bob.SendPrivateText("Alice", "Gm:Chk:Draw");
  ASSERT_TRUE(net.Pump());
  EXPECT_TRUE(A(GameKind::Checkers).Running());

  // The offer outlives a repair of Alice's copy while Bob thinks it over.
  alice.channel.OfferDraw(GameKind::Checkers, "Bob");
  alice.Answer(true);
  ASSERT_TRUE(net.Pump());
  bob.SendPrivateText("Alice", "Gm:Chk:Party: " + B(GameKind::Checkers).PartyTextForOpponent());
  ASSERT_TRUE(net.Pump());
  bob.Answer(true);
  ASSERT_TRUE(net.Pump());
  EXPECT_EQ(A(GameKind::Checkers).State(), kDrawState);
  EXPECT_EQ(B(GameKind::Checkers).State(), kDrawState);
  EXPECT_EQ(A(GameKind::Checkers).MoveList().back().markup, text::W("<fcol=ff0000><bcol=ffffff><b>Ничья</b>"));
  EXPECT_EQ(bob.ViewOf(GameKind::Checkers, "Alice")->chat.back(), text::W("Alice: ничья!"));
}

TEST_F(Duel, SurrenderEndsTheGameOnBothSides) {
  Start(GameKind::Chess, true);
  bob.channel.Surrender(GameKind::Chess, "Alice");  // not Bob's move: nothing
  EXPECT_TRUE(bob.pending.empty());
  alice.channel.Surrender(GameKind::Chess, "Bob");
  EXPECT_EQ(alice.questions.back(), "Do you really surrender?");
  alice.Answer(true);
  ASSERT_TRUE(net.Pump());
  EXPECT_EQ(A(GameKind::Chess).State(), kSurrendered);
  EXPECT_EQ(B(GameKind::Chess).State(), kOpponentSurrendered);
  EXPECT_EQ(B(GameKind::Chess).MoveList().back().markup, text::W("<fcol=ff0000><bcol=ffffff><b>Белые сдались</b>"));
  EXPECT_EQ(bob.ViewOf(GameKind::Chess, "Alice")->chat.back(), text::W("Alice сдался!"));
}

TEST_F(Duel, LostMoveIsRepairedByPingAndWrongNumbersBySynchronize) {
  Start(GameKind::Checkers, true);
  net.dropNext = 1;
  ASSERT_TRUE(MoveFirstLegal(GameKind::Checkers));  // Alice's move is lost
  EXPECT_EQ(B(GameKind::Checkers).MoveCount(), 0);
  alice.channel.Ping(GameKind::Checkers, "Bob");
  ASSERT_TRUE(net.Pump());
  EXPECT_EQ(B(GameKind::Checkers).MoveCount(), 1);
  EXPECT_EQ(B(GameKind::Checkers).State(), kOwnMove);
  EXPECT_EQ(A(GameKind::Checkers).Rules().Position(), B(GameKind::Checkers).Rules().Position());
  EXPECT_EQ(alice.ViewOf(GameKind::Checkers, "Bob")->chat.front(), text::W("<b>Alice</b>  Пинг"));

  // A move numbered 3 while Bob holds 1 is not played: Bob asks for the
  // game, and Alice's copy replaces his.
  B(GameKind::Checkers).LoadParty("B;" + A(GameKind::Checkers).Rules().MoveText(0) + ";0");
  EXPECT_EQ(alice.channel.LocalMove(GameKind::Checkers, "Bob", 0, 0, 0), LocalPlay::Refused);  // not her move
  const size_t mark = net.sent.size();
  bob.channel.GameMessage(GameKind::Checkers, "Gm:Chk:3:PA3-B4", "Alice", "", 0, 0xFFFFFF);
  EXPECT_EQ(net.SentBy("Bob", mark), std::vector<std::string>{"Synchronize"});
  EXPECT_EQ(B(GameKind::Checkers).MoveCount(), 1);
  ASSERT_TRUE(net.Pump());
  ASSERT_FALSE(net.SentBy("Alice", mark).empty());
  EXPECT_EQ(net.SentBy("Alice", mark)[0], "Party: " + A(GameKind::Checkers).PartyTextForOpponent());
  EXPECT_EQ(B(GameKind::Checkers).PartyText(), A(GameKind::Checkers).PartyTextForOpponent());

  // A move with the right number that is not legal in the position is
  // refused the same way.
  const size_t mark2 = net.sent.size();
  bob.channel.GameMessage(GameKind::Checkers, "Gm:Chk:2:PA1-B2", "Alice", "", 0, 0xFFFFFF);
  EXPECT_EQ(net.SentBy("Bob", mark2), std::vector<std::string>{"Synchronize"});
  EXPECT_EQ(B(GameKind::Checkers).MoveCount(), 1);
  net.queue.clear();
}

int Square(const char* name) { return SquareAt(name[0] - 'A', name[1] - '1'); }

TEST_F(Duel, AReceivedCastlingWithARookThatCameToTheCapturedRooksCornerIsPlayed) {
  Start(GameKind::Chess, true);  // Alice white
  // Black's knight takes the rook on h1; Alice's other rook comes to h1 by
  // the third rank and the h file, takes the knight there, and the king
  // castles with it.
  const char* moves[][2] = {{"H2", "H4"}, {"G8", "F6"}, {"G1", "F3"}, {"F6", "H5"}, {"E2", "E4"}, {"H5", "G3"},
                            {"F1", "C4"}, {"G3", "H1"}, {"F3", "D4"}, {"A7", "A6"}, {"A2", "A4"}, {"B7", "B6"},
                            {"A1", "A3"}, {"C7", "C6"}, {"A3", "H3"}, {"D7", "D6"}, {"H3", "H1"}, {"E7", "E6"}};
  for (const auto& m : moves) {
    Player& p = A(GameKind::Chess).State() == kOwnMove ? alice : bob;
    ASSERT_EQ(p.channel.LocalMove(GameKind::Chess, &p == &alice ? "Bob" : "Alice", Square(m[0]), Square(m[1]), 0),
              LocalPlay::Complete)
        << m[0] << m[1];
    ASSERT_TRUE(net.Pump());
  }
  ASSERT_EQ(B(GameKind::Chess).MoveCount(), 18);
  // By the rules of chess the rook on h1 is not the one castling needs.
  EXPECT_EQ(A(GameKind::Chess).Rules().TargetsOf(Square("E1")) >> Square("G1") & 1, 0u);
  EXPECT_EQ(alice.channel.LocalMove(GameKind::Chess, "Bob", Square("E1"), Square("G1"), 0), LocalPlay::Refused);

  // A peer that only remembers which pieces left their squares castles.
  const std::string before = B(GameKind::Chess).PartyTextForOpponent();
  const size_t mark = net.sent.size();
  bob.channel.GameMessage(GameKind::Chess, "Gm:Chs:19:KE1-G1", "Alice", "", 0, 0xFFFFFF);
  EXPECT_TRUE(net.SentBy("Bob", mark).empty());
  ASSERT_EQ(B(GameKind::Chess).MoveCount(), 19);
  EXPECT_EQ(B(GameKind::Chess).Rules().Position()[Square("F1")], chess::CodeOf(chess::kRook, Side::White));
  EXPECT_EQ(B(GameKind::Chess).State(), kOwnMove);

  // The same game as a whole Party text is taken in full.
  Game& a = A(GameKind::Chess);
  const std::string party = B(GameKind::Chess).PartyTextForOpponent();
  EXPECT_NE(party, before);
  EXPECT_TRUE(a.LoadParty(party));
  EXPECT_EQ(a.MoveCount(), 19);
  EXPECT_EQ(a.Rules().Position(), B(GameKind::Chess).Rules().Position());
  net.queue.clear();
}

TEST_F(Duel, PingAnswersByTheMoveCounts) {
  Start(GameKind::Checkers, true);
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(MoveFirstLegal(GameKind::Checkers));
  const std::string party = B(GameKind::Checkers).PartyText();
  struct Row {
    int moves;
    std::vector<std::string> answer;
  };
  const Game& full = B(GameKind::Checkers);
  const std::string sixth = "6:" + full.Rules().MoveText(5);
  const std::vector<Row> rows = {{3, {"Synchronize", "Pong"}}, {4, {"Ping:4", "Pong"}}, {5, {"Pong"}},
                                 {6, {sixth, "Pong"}},         {8, {"PARTY", "Pong"}}};
  for (const Row& row : rows) {
    // Bob's copy holds the first `moves` moves of the game.
    std::string cut = "B;";
    size_t pos = 2;
    for (int i = 0; i < row.moves; ++i) {
      const size_t semi = party.find(';', pos);
      cut += party.substr(pos, semi - pos) + ";";
      pos = semi + 1;
    }
    B(GameKind::Checkers).LoadParty(cut + "1");
    const size_t mark = net.sent.size();
    bob.channel.GameMessage(GameKind::Checkers, "Gm:Chk:Ping:5", "Alice", "", 0, 0xFFFFFF);
    std::vector<std::string> got = net.SentBy("Bob", mark);
    if (!got.empty() && text::StartsWith(got[0], "Party: ")) got[0] = "PARTY";
    EXPECT_EQ(got, row.answer) << row.moves;
    net.queue.clear();
  }
  const size_t mark = net.sent.size();
  bob.channel.GameMessage(GameKind::Checkers, "Gm:Chk:Ping:x", "Alice", "", 0, 0xFFFFFF);
  EXPECT_TRUE(net.SentBy("Bob", mark).empty());
}

TEST_F(Duel, OnlyTheOlderClientWarnsAndEqualNumbersStayQuiet) {
  alice.version = "2.10";  // the number 2.1
  bob.channel.GameMessage(GameKind::Chess, "Gm:Chs:Version:2.10", "Alice", "", 0, 0xFFFFFF);
  EXPECT_EQ(net.SentBy("Bob"), std::vector<std::string>{"Version:2.8"});
  ASSERT_TRUE(net.Pump());
  ASSERT_FALSE(alice.priv.empty());
  EXPECT_EQ(alice.priv.back(), text::W("Внимание! Ваш партнер имеет более новую версию клиента - <b>2.8</b>"));
  EXPECT_TRUE(bob.priv.empty());

  const size_t mark = net.sent.size();
  bob.channel.GameMessage(GameKind::Chess, "Gm:Chs:Version:2.80", "Alice", "", 0, 0xFFFFFF);
  bob.channel.GameMessage(GameKind::Chess, "Gm:Chs:Version:two", "Alice", "", 0, 0xFFFFFF);
  EXPECT_TRUE(net.SentBy("Bob", mark).empty());
  EXPECT_TRUE(bob.priv.empty());
}

TEST_F(Duel, MessagesWithoutAWindow) {
  // An acceptance nobody asked for opens nothing.
  bob.channel.GameMessage(GameKind::Checkers, "Gm:Chk:Let us. I play black", "Alice", "", 0, 0xFFFFFF);
  EXPECT_EQ(bob.channel.Find(GameKind::Checkers, "Alice"), nullptr);
  EXPECT_EQ(bob.channel.OpenGames(), 0u);
  // The answer to Bob's own invitation opens a game the local player leads,
  // once: a second acceptance is no new invitation's.
  bob.channel.OfferGame(GameKind::Checkers, "Alice");
  bob.channel.GameMessage(GameKind::Checkers, "Gm:Chk:Let us. I play black", "Alice", "", 0, 0xFFFFFF);
  ASSERT_NE(bob.channel.Find(GameKind::Checkers, "Alice"), nullptr);
  EXPECT_TRUE(B(GameKind::Checkers).White());
  EXPECT_EQ(B(GameKind::Checkers).State(), kOwnMove);

  // "I stop the game" shows only while the sender is online with this client.
  bob.gameClients.clear();
  bob.channel.GameMessage(GameKind::Checkers, "Gm:Chk:I stop the game", "Alice", "", 0, 0xFFFFFF);
  EXPECT_TRUE(bob.ViewOf(GameKind::Checkers, "Alice")->chat.empty());
  bob.gameClients = {"Alice"};
  bob.channel.GameMessage(GameKind::Checkers, "Gm:Chk:I stop the game", "Alice", "", 0, 0xFFFFFF);
  EXPECT_EQ(bob.ViewOf(GameKind::Checkers, "Alice")->chat.back(), text::W("Alice прекратил игру"));
  EXPECT_TRUE(B(GameKind::Checkers).Running());

  // Chat without a window goes to the private pane with the game's label.
  bob.channel.GameMessage(GameKind::Reversi, "Gm:Rvs:Chat: hi", "Alice", "12:01:02", 0, 0xFFFFFF);
  ASSERT_FALSE(bob.priv.empty());
  EXPECT_EQ(bob.priv.back(), "<b>Alice</b> 12:01:02 " + text::W(" Реверси: ") + "hi");

  // Reversi knows no draws; pings, pongs and surrenders without a game or
  // record are ignored; a move without one asks for the game.
  const size_t mark = net.sent.size();
  for (const char* m : {"Gm:Rvs:I offer draw", "Gm:Rvs:Draw", "Gm:Rvs:Ping:3", "Gm:Rvs:Pong", "Gm:Rvs:I surrender",
                        "Gm:Rvs:whatever"})
    bob.channel.GameMessage(GameKind::Reversi, m, "Alice", "", 0, 0xFFFFFF);
  EXPECT_TRUE(net.SentBy("Bob", mark).empty());
  EXPECT_EQ(bob.channel.GameCount(GameKind::Reversi), 0u);
  bob.channel.GameMessage(GameKind::Reversi, "Gm:Rvs:1:WE3", "Alice", "", 0, 0xFFFFFF);
  EXPECT_EQ(net.SentBy("Bob", mark), std::vector<std::string>{"Synchronize"});
  bob.channel.GameMessage(GameKind::Chess, "Gm:Chs:I offer draw", "Alice", "", 0, 0xFFFFFF);
  EXPECT_EQ(net.SentBy("Bob", mark).back(), "Synchronize");
}

TEST_F(Duel, InvitationDuringARunningGameIsAnsweredWithThatGame) {
  Start(GameKind::Checkers, true);
  ASSERT_TRUE(MoveFirstLegal(GameKind::Checkers));
  // Alice lost her window (closed silently); she invites again.
  A(GameKind::Checkers).silentClose = true;
  alice.channel.WindowClosed(GameKind::Checkers, "Bob");
  alice.channel.OfferGame(GameKind::Checkers, "Bob");
  ASSERT_TRUE(net.Pump());
  EXPECT_TRUE(bob.pending.empty());  // Bob is not asked: his game runs
  ASSERT_EQ(alice.pending.size(), 1u);
  EXPECT_EQ(alice.questions.back(), "Bob: Let's continue checkers game?");
  alice.Answer(true);
  EXPECT_EQ(A(GameKind::Checkers).MoveCount(), 1);
  EXPECT_EQ(A(GameKind::Checkers).State(), kOpponentMove);
  EXPECT_TRUE(A(GameKind::Checkers).White());

  // Without this client in the online list the game is taken without a question.
  net.nowMs += GameChannel::kPartyIntervalMs;
  A(GameKind::Checkers).silentClose = true;
  alice.channel.WindowClosed(GameKind::Checkers, "Bob");
  alice.gameClients.clear();
  alice.channel.OfferGame(GameKind::Checkers, "Bob");
  ASSERT_TRUE(net.Pump());
  EXPECT_TRUE(alice.pending.empty());
  EXPECT_EQ(A(GameKind::Checkers).MoveCount(), 1);
}

TEST_F(Duel, OnceMoreStartsTheNextGameInTheSameWindow) {
  Start(GameKind::Reversi, true);
  RecordingView* view = alice.ViewOf(GameKind::Reversi, "Bob");
  alice.channel.Surrender(GameKind::Reversi, "Bob");
  alice.Answer(true);
  ASSERT_TRUE(net.Pump());
  bob.channel.OnceMore(GameKind::Reversi, "Alice");
  ASSERT_TRUE(net.Pump());
  EXPECT_EQ(alice.questions.back(), "Bob: Once more?");
  alice.Answer(true);
  alice.Answer(false);  // Alice plays black this time
  ASSERT_TRUE(net.Pump());
  EXPECT_EQ(alice.ViewOf(GameKind::Reversi, "Bob"), view);
  EXPECT_FALSE(A(GameKind::Reversi).White());
  EXPECT_EQ(A(GameKind::Reversi).State(), kOpponentMove);
  EXPECT_EQ(B(GameKind::Reversi).State(), kOwnMove);
  EXPECT_TRUE(B(GameKind::Reversi).White());
}

TEST_F(Duel, ClosedGamesAreSavedAndContinuedFromTheRecords) {
  Start(GameKind::Checkers, true);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(MoveFirstLegal(GameKind::Checkers));
  const Board position = A(GameKind::Checkers).Rules().Position();
  const std::string m1 = A(GameKind::Checkers).Rules().MoveText(0), m2 = A(GameKind::Checkers).Rules().MoveText(1),
                    m3 = A(GameKind::Checkers).Rules().MoveText(2);

  const size_t mark = net.sent.size();
  alice.channel.WindowClosed(GameKind::Checkers, "Bob");  // running: tells Bob
  bob.channel.CloseAllGames();                            // silent
  EXPECT_EQ(net.SentBy("Alice", mark), std::vector<std::string>{"I stop the game"});
  EXPECT_TRUE(net.SentBy("Bob", mark).empty());
  EXPECT_TRUE(bob.views[0]->closed);
  net.queue.clear();
  EXPECT_EQ(text::ReadWholeFile(alice.records.PathOf(GameKind::Checkers, "Bob")),
            "White\r\n1: " + m1 + "   " + m2 + "\r\n2: " + m3 + "\r\n1\r\n");
  EXPECT_EQ(alice.menuChanges, 1);
  EXPECT_TRUE(alice.channel.MenuState({"Bob"}).loadGame[static_cast<int>(GameKind::Checkers)]);

  alice.channel.LoadLastGame(GameKind::Checkers, "Bob");
  EXPECT_EQ(A(GameKind::Checkers).MoveCount(), 3);
  EXPECT_EQ(alice.ViewOf(GameKind::Checkers, "Bob")->chat.back(), text::W("Предложение продолжить партию послано"));
  ASSERT_TRUE(net.Pump());
  EXPECT_EQ(bob.questions.back(), "Alice: Let's continue checkers game?");
  bob.Answer(true);
  EXPECT_EQ(B(GameKind::Checkers).Rules().Position(), position);
  EXPECT_EQ(B(GameKind::Checkers).State(), kOwnMove);
  ASSERT_TRUE(MoveFirstLegal(GameKind::Checkers));
  EXPECT_EQ(A(GameKind::Checkers).MoveCount(), 4);
  EXPECT_EQ(A(GameKind::Checkers).Rules().Position(), B(GameKind::Checkers).Rules().Position());
}

TEST_F(Duel, AMoveForAClosedGameLoadsItsRecord) {
  Start(GameKind::Reversi, false);  // Bob white
  ASSERT_TRUE(MoveFirstLegal(GameKind::Reversi));
  net.dropNext = 0;
  bob.channel.CloseAllGames();
  // Bob's next move reaches Alice's record: nobody asks anything.
  ASSERT_TRUE(MoveFirstLegal(GameKind::Reversi));  // Alice moves; Bob has no window
  ASSERT_NE(bob.channel.Find(GameKind::Reversi, "Alice"), nullptr);
  EXPECT_EQ(B(GameKind::Reversi).MoveCount(), 2);
  EXPECT_EQ(B(GameKind::Reversi).State(), kOwnMove);
  EXPECT_EQ(A(GameKind::Reversi).Rules().Position(), B(GameKind::Reversi).Rules().Position());
}

TEST_F(Duel, DamagedRecordIsReportedAndNeverOverwritten) {
  const std::string path = alice.records.PathOf(GameKind::Checkers, "Bob");
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  const std::vector<std::string> damaged[] = {
      {"White", "1: PC3-D4   PF6-E5"},                // the state line is missing
      {"White", "1: PC3-D4   PF6-E5", "xyz"},         // not a state
      {"White", "1: PC3-D4   PA1-B2", "1"},           // an impossible move
  };
  for (const auto& lines : damaged) {
    ASSERT_TRUE(text::WriteLineFile(path, lines));
    const auto before = text::ReadWholeFile(path);
    alice.priv.clear();
    alice.channel.LoadLastGame(GameKind::Checkers, "Bob");
    ASSERT_EQ(alice.priv.size(), 1u);
    EXPECT_EQ(alice.channel.Find(GameKind::Checkers, "Bob"), nullptr);
    EXPECT_TRUE(net.SentBy("Alice").empty());
    EXPECT_EQ(text::ReadWholeFile(path), before);
  }
  // A surrender for the opponent's damaged record changes nothing either.
  alice.channel.GameMessage(GameKind::Checkers, "Gm:Chk:I surrender", "Bob", "", 0, 0xFFFFFF);
  EXPECT_EQ(alice.channel.Find(GameKind::Checkers, "Bob"), nullptr);
  // A truncated last line (no line end) is no state line either.
  std::ofstream(path, std::ios::binary) << "White\r\n1: PC3-D4\r\n1";
  EXPECT_EQ(alice.records.Load(GameKind::Checkers, "Bob", nullptr), GameRecords::LoadResult::Damaged);
}

TEST(GameRecords, FileNamesStayInTheirFolderAndNeverCollide) {
  EXPECT_EQ(text::SafeFileName("Bob"), "Bob");
  EXPECT_EQ(text::SafeFileName("../etc"), "%2e.%2fetc");
  EXPECT_EQ(text::SafeFileName("a\\b/c"), "a%5cb%2fc");
  EXPECT_EQ(text::SafeFileName("100%"), "100%25");
  EXPECT_NE(text::SafeFileName("a/b"), text::SafeFileName("a%2fb"));
  EXPECT_EQ(text::SafeFileName(std::string("x\0y", 3)), "x%00y");
  GameRecords records("/tmp/somewhere");
  EXPECT_EQ(records.PathOf(GameKind::Chess, "a/b"), "/tmp/somewhere/Games/a%2fb.chs");
}

// Whether `bytes` is well-formed UTF-8 (no overlong forms or surrogates
// looked at: the converter never makes them).
bool ValidUtf8(const std::string& bytes) {
  for (size_t i = 0; i < bytes.size();) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > bytes.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

TEST_F(Duel, ACyrillicOpponentsRecordIsNamedInUtf8AndAnOldRecordIsAdoptedOnce) {
  const std::string vasya = text::W("Вася");
  net.players[vasya] = &bob;
  alice.gameClients.insert(vasya);
  alice.channel.OfferGame(GameKind::Chess, vasya);  // "Let us" answers only an invitation of ours
  alice.channel.GameMessage(GameKind::Chess, "Gm:Chs:Let us. I play black", vasya, "", 0, 0xFFFFFF);
  Game* game = alice.channel.Find(GameKind::Chess, vasya);
  ASSERT_NE(game, nullptr);
  ASSERT_EQ(alice.channel.LocalMove(GameKind::Chess, vasya, SquareAt(4, 1), SquareAt(4, 3), 0), LocalPlay::Complete);
  ASSERT_TRUE(alice.records.Save(*game));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dirA + "/Games"))
    names.push_back(entry.path().filename().string());
  ASSERT_EQ(names, std::vector<std::string>{"Вася.chs"});
  EXPECT_TRUE(ValidUtf8(names[0]));
  // Two names that differ only past the code page's letters keep two files.
  EXPECT_NE(text::UserFileName(vasya), text::UserFileName(text::W("Васю")));
  EXPECT_EQ(text::UserFileName("../x%"), "%2e.%2fx%25");

  // A record written by an earlier version under the raw bytes is found
  // under the new name and moved there once.
  const std::string utf8 = dirA + "/Games/" + names[0];
  const std::string old = dirA + "/Games/" + text::SafeFileName(vasya) + ".chs";
  std::filesystem::rename(utf8, old);
  EXPECT_TRUE(alice.records.Exists(GameKind::Chess, vasya));
  EXPECT_TRUE(std::filesystem::exists(utf8));
  EXPECT_FALSE(std::filesystem::exists(old));
  std::string party;
  EXPECT_EQ(alice.records.Load(GameKind::Chess, vasya, &party), GameRecords::LoadResult::Loaded);
  EXPECT_EQ(party, game->PartyText());
  // A newer record wins over a stale old one, which stays where it is.
  std::ofstream(old, std::ios::binary) << "stale";
  EXPECT_EQ(alice.records.Load(GameKind::Chess, vasya, &party), GameRecords::LoadResult::Loaded);
  EXPECT_TRUE(std::filesystem::exists(old));
  net.queue.clear();
}

TEST_F(Duel, ChatEchoAndTheMenu) {
  Start(GameKind::Chess, true);
  alice.channel.Say(GameKind::Chess, "Bob", std::string("one\r\ntwo \xA6 three"));
  ASSERT_TRUE(net.Pump());
  EXPECT_EQ(net.SentBy("Alice").back(), "Chat: one  two | three");
  EXPECT_EQ(bob.ViewOf(GameKind::Chess, "Alice")->chat.back(), "<b>Alice</b> 12:00:00 one  two | three");
  // The own line appears when the server confirms it, under the own name.
  EXPECT_EQ(alice.ViewOf(GameKind::Chess, "Bob")->chat.back(), "<b>Alice</b>  one  two | three");

  alice.channel.SetGameOnline(false);
  const size_t mark = net.sent.size();
  alice.channel.Say(GameKind::Chess, "Bob", "offline");
  EXPECT_TRUE(net.SentBy("Alice", mark).empty());

  GamesMenuState s = alice.channel.MenuState({"Bob"});
  EXPECT_TRUE(s.menu);
  EXPECT_TRUE(s.newGame[0] && s.newGame[1] && s.newGame[2]);
  EXPECT_FALSE(alice.channel.MenuState({"Bob", "Carol"}).menu);
  EXPECT_FALSE(alice.channel.MenuState({"Alice"}).menu);
  EXPECT_FALSE(alice.channel.MenuState({"Carol"}).newGame[0]);
}

}  // namespace

namespace {

TEST_F(Duel, HostilePartyTextsCannotHurt) {
  bob.gameClients.clear();  // no question: the game is taken at once
  // Far too long for any game: ignored.
  bob.channel.GameMessage(GameKind::Checkers, "Gm:Chk:Party: W;" + std::string(70000, ';') + "0", "Alice", "", 0,
                          0xFFFFFF);
  EXPECT_EQ(bob.channel.GameCount(GameKind::Checkers), 0u);

  // Moves stop at the first one that cannot be played; a running state
  // follows the position, so Bob never moves Alice's pieces.
  bob.channel.GameMessage(GameKind::Checkers, "Gm:Chk:Party: B;PC3-D4;PC3-D4;PF6-E5;0", "Alice", "", 0, 0xFFFFFF);
  ASSERT_NE(bob.channel.Find(GameKind::Checkers, "Alice"), nullptr);
  EXPECT_EQ(B(GameKind::Checkers).MoveCount(), 1);
  EXPECT_FALSE(B(GameKind::Checkers).White());
  EXPECT_EQ(B(GameKind::Checkers).State(), kOwnMove);

  bob.channel.GameMessage(GameKind::Checkers, "Gm:Chk:Party: W;0", "Alice", "", 0, 0xFFFFFF);
  EXPECT_EQ(B(GameKind::Checkers).State(), kOwnMove);
  bob.channel.GameMessage(GameKind::Checkers, "Gm:Chk:Party: W;1", "Alice", "", 0, 0xFFFFFF);
  EXPECT_EQ(B(GameKind::Checkers).State(), kOwnMove);
  // A finished state stays as sent; one that does not exist does not.
  bob.channel.GameMessage(GameKind::Checkers, "Gm:Chk:Party: W;3", "Alice", "", 0, 0xFFFFFF);
  EXPECT_EQ(B(GameKind::Checkers).State(), kLost);
  EXPECT_EQ(B(GameKind::Checkers).MoveList().back().markup, text::W("<fcol=ff0000><bcol=ffffff><b>Черные выиграли</b>"));
  bob.channel.GameMessage(GameKind::Checkers, "Gm:Chk:Party: W;101", "Alice", "", 0, 0xFFFFFF);
  EXPECT_EQ(B(GameKind::Checkers).State(), kOwnMove);
  // A Party cut before its state is refused with a note; the game stays.
  for (const char* cut : {"Gm:Chk:Party: ", "Gm:Chk:Party: B;PC3-D4;", "Gm:Chk:Party: B;PC3-D4;P"}) {
    bob.priv.clear();
    bob.channel.GameMessage(GameKind::Checkers, cut, "Alice", "", 0, 0xFFFFFF);
    EXPECT_TRUE(B(GameKind::Checkers).White()) << cut;
    EXPECT_EQ(B(GameKind::Checkers).State(), kOwnMove);
    EXPECT_EQ(B(GameKind::Checkers).MoveCount(), 0);
  }
  EXPECT_NE(bob.ViewOf(GameKind::Checkers, "Alice")->chat.back().find(text::W("не целиком")), std::string::npos);
}

TEST_F(Duel, NoMoreThanEightGameWindowsAndANinthInvitationIsDeclined) {
  // Eight opponents' acceptances of Bob's own invitations open eight games.
  for (int i = 0; i < 8; ++i) {
    const std::string name = "P" + std::to_string(i);
    bob.channel.OfferGame(GameKind::Reversi, name);
    bob.channel.GameMessage(GameKind::Reversi, "Gm:Rvs:Let us. I play white", name, "", 0, 0xFFFFFF);
  }
  EXPECT_EQ(bob.channel.OpenGames(), 8u);
  // A ninth invitation is declined without a question, and Bob is told.
  const size_t mark = net.sent.size();
  bob.channel.GameMessage(GameKind::Chess, "Gm:Chs:Let us play chess?", "Alice", "", 0, 0xFFFFFF);
  EXPECT_TRUE(bob.pending.empty());
  EXPECT_EQ(net.SentBy("Bob", mark), std::vector<std::string>{std::string(words::kNoPlay)});
  ASSERT_FALSE(bob.priv.empty());
  EXPECT_NE(bob.priv.back().find("Alice"), std::string::npos);
  // Nor does a whole game sent unasked open a ninth window.
  bob.channel.GameMessage(GameKind::Chess, "Gm:Chs:Party: W;0", "Alice", "", 0, 0xFFFFFF);
  bob.channel.GameMessage(GameKind::Checkers, "Gm:Chk:Party: W;0", "Alice", "", 0, 0xFFFFFF);
  EXPECT_EQ(bob.channel.OpenGames(), 8u);
  EXPECT_TRUE(bob.pending.empty());
  // One closes: there is room again.
  bob.channel.WindowClosed(GameKind::Reversi, "P0");
  bob.channel.GameMessage(GameKind::Chess, "Gm:Chs:Let us play chess?", "Alice", "", 0, 0xFFFFFF);
  EXPECT_EQ(bob.pending.size(), 1u);
}

TEST_F(Duel, StalePingsAreAnsweredByTheWholeGameAtMostOnceInTheInterval) {
  Start(GameKind::Checkers, true);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(MoveFirstLegal(GameKind::Checkers));
  auto parties = [&](size_t since) {
    size_t n = 0;
    for (const auto& t : net.SentBy("Bob", since)) n += t.rfind("Party:", 0) == 0;
    return n;
  };
  const size_t mark = net.sent.size();
  for (int i = 0; i < 30; ++i)
    bob.channel.GameMessage(GameKind::Checkers, "Gm:Chk:Ping:0", "Alice", "", 0, 0xFFFFFF);
  EXPECT_EQ(parties(mark), 1u);
  size_t bytes = 0;
  for (const auto& t : net.SentBy("Bob", mark)) bytes += t.size();
  RecordProperty("bytes_sent_for_30_pings", int(bytes));
  // After the interval the game may be sent again, once.
  net.nowMs += GameChannel::kPartyIntervalMs;
  const size_t later = net.sent.size();
  for (int i = 0; i < 30; ++i)
    bob.channel.GameMessage(GameKind::Checkers, "Gm:Chk:Ping:0", "Alice", "", 0, 0xFFFFFF);
  EXPECT_EQ(parties(later), 1u);
}

}  // namespace

namespace {

int Sq(const char* name) { return SquareAt(name[0] - 'a', name[1] - '1'); }

TEST_F(Duel, MoveListsShowOneMovePerLineOrBothMovesOfAChessTurn) {
  Start(GameKind::Checkers, true);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(MoveFirstLegal(GameKind::Checkers));
  const auto& list = A(GameKind::Checkers).MoveList();
  ASSERT_EQ(list.size(), 7u);
  EXPECT_EQ(list[0].markup, text::W("<fsize=9>Партия"));
  EXPECT_EQ(list[1].markup, text::W("<fsize=9><b>Вы - Bob</b>"));
  EXPECT_EQ(list[1].textColor, 0xFF0000u);
  const std::string p = "<fcol=000000><bcol=ffffff>";
  const BoardRules& r = A(GameKind::Checkers).Rules();
  EXPECT_EQ(list[3].markup, p + "1.<xpos=28>" + r.MoveListText(0));
  EXPECT_EQ(list[4].markup, p + "<xpos=28>" + r.MoveListText(1));
  EXPECT_EQ(list[5].markup, p + "2.<xpos=28>" + r.MoveListText(2));
  EXPECT_EQ(list[6].markup, p + "<xpos=28>_");
  EXPECT_EQ(B(GameKind::Checkers).MoveList()[1].markup, text::W("<fsize=9><b>Alice - Вы</b>"));

  // A quick mate: both moves of a turn share a line, the mate ends the list.
  Start(GameKind::Chess, true);
  const char* moves[][2] = {{"e2", "e4"}, {"e7", "e5"}, {"f1", "c4"}, {"b8", "c6"},
                            {"d1", "h5"}, {"g8", "f6"}, {"h5", "f7"}};
  for (int i = 0; i < 7; ++i) {
    Player& p2 = i % 2 == 0 ? alice : bob;
    ASSERT_EQ(p2.channel.LocalMove(GameKind::Chess, i % 2 == 0 ? "Bob" : "Alice", Sq(moves[i][0]), Sq(moves[i][1]), 0),
              LocalPlay::Complete)
        << i;
    ASSERT_TRUE(net.Pump());
  }
  EXPECT_EQ(A(GameKind::Chess).State(), kWon);
  EXPECT_EQ(B(GameKind::Chess).State(), kLost);
  EXPECT_EQ(alice.ViewOf(GameKind::Chess, "Bob")->chat.back(), text::W("Мат! Вы выиграли у Bob"));
  EXPECT_EQ(bob.ViewOf(GameKind::Chess, "Alice")->chat.back(), text::W("Мат! Вы проиграли Alice"));
  const auto& chess = B(GameKind::Chess).MoveList();
  const BoardRules& cr = B(GameKind::Chess).Rules();
  ASSERT_EQ(chess.size(), 8u);
  EXPECT_EQ(chess[3].markup, p + "1.<xpos=28>" + cr.MoveListText(0) + "<xpos=80>" + cr.MoveListText(1));
  EXPECT_EQ(chess[5].markup, p + "3.<xpos=28>" + cr.MoveListText(4) + "<xpos=80>" + cr.MoveListText(5));
  EXPECT_EQ(chess[6].markup, p + "4.<xpos=28>" + cr.MoveListText(6));
  EXPECT_EQ(chess[7].markup, text::W("<fcol=ff0000><bcol=ffffff><b>Мат</b>"));
  // The same lines on both sides, the header naming the players apart.
  EXPECT_TRUE(std::equal(chess.begin() + 2, chess.end(), A(GameKind::Chess).MoveList().begin() + 2));
}

}  // namespace

namespace {

TEST_F(Duel, ARepeatedMessageDoesNotPileUpQuestions) {
  for (int i = 0; i < 5; ++i) {
    bob.channel.GameMessage(GameKind::Chess, "Gm:Chs:Once more?", "Alice", "", 0, 0xFFFFFF);
    bob.channel.GameMessage(GameKind::Chess, "Gm:Chs:Let us play chess?", "Alice", "", 0, 0xFFFFFF);
  }
  bob.channel.GameMessage(GameKind::Checkers, "Gm:Chk:Once more?", "Alice", "", 0, 0xFFFFFF);
  EXPECT_EQ(bob.pending.size(), 3u);
  bob.Answer(false);  // the first chess "Once more?" is answered: it may come again
  bob.channel.GameMessage(GameKind::Chess, "Gm:Chs:Once more?", "Alice", "", 0, 0xFFFFFF);
  EXPECT_EQ(bob.pending.size(), 3u);
  EXPECT_EQ(net.SentBy("Bob"), std::vector<std::string>{"No, I do not want play"});
}

}  // namespace
