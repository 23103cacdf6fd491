#pragma once

// Every command of the game's protocol, in one place: its name on the wire,
// who sends it and its fields after the name. Host and player window build
// and dispatch by these names only, so neither side can send a command the
// other does not know without a test noticing.
namespace net::commands {

// Player window to host.
inline constexpr char LoginInfo[] = "CMD_logininfo";
inline constexpr char KickHim[] = "CMD_kickhim";
inline constexpr char JustWatch[] = "CMD_justwatch";
inline constexpr char RollDice[] = "CMD_rolldice";
inline constexpr char SetScore[] = "CMD_setscore";
inline constexpr char BotSpeed[] = "CMD_botspeed";

// Host to player windows.
inline constexpr char SendLoginInfo[] = "CMD_sendlogininfo";
inline constexpr char Full[] = "CMD_full";
inline constexpr char NewPlayerInfo[] = "CMD_newplayerinfo";
inline constexpr char ExistingPlayers[] = "CMD_existingplayers";
inline constexpr char HaveWrongVersion[] = "CMD_havewrongversion";
inline constexpr char WrongVersion[] = "CMD_wrongversion";
inline constexpr char PlayerDisconnected[] = "CMD_playerdisconnected";
inline constexpr char SetBonusDice[] = "CMD_setbonusdice";
inline constexpr char NextPlayer[] = "CMD_nextplayer";
inline constexpr char TheDice[] = "CMD_thedice";
inline constexpr char RollAgain[] = "CMD_rollagain";
inline constexpr char ChooseAgain[] = "CMD_chooseagain";
inline constexpr char PScore[] = "CMD_pscore";
inline constexpr char JustWatching[] = "CMD_justwatching";
inline constexpr char Winner[] = "CMD_winner";

// Both ways.
inline constexpr char Chat[] = "CMD_chat";
inline constexpr char Action[] = "CMD_action";
inline constexpr char StartGame[] = "CMD_startgame";
inline constexpr char SetDice[] = "CMD_setdice";
inline constexpr char UnsetDice[] = "CMD_unsetdice";
inline constexpr char PlayASound[] = "CMD_playasound";

enum class Sender { Window, Host };

struct Command {
    const char* name;
    Sender sender;
    const char* fields; // after the name, each preceded by "+"
};

inline constexpr Command Catalogue[] = {
    {LoginInfo, Sender::Window, "slot, version, name (the rest; two terminators)"},
    {Chat, Sender::Window, "slot, text|colour"},
    {Action, Sender::Window, "slot, text|colour"},
    {KickHim, Sender::Window, "requester, target, empty"},
    {StartGame, Sender::Window, "slot, bonus t/f, team true/false"},
    {JustWatch, Sender::Window, "seat, 1 on / 2 off"},
    {RollDice, Sender::Window, "seat"},
    {SetDice, Sender::Window, "seat, die"},
    {UnsetDice, Sender::Window, "seat, die"},
    {SetScore, Sender::Window, "seat, category"},
    {PlayASound, Sender::Window, "slot, waveN, empty"},
    {BotSpeed, Sender::Window, "slot, milliseconds, empty"},

    {SendLoginInfo, Sender::Host, "slot"},
    {Full, Sender::Host, "empty"},
    {NewPlayerInfo, Sender::Host, "slot, name (the rest)"},
    {ExistingPlayers, Sender::Host, "slot, name (the rest)"},
    {HaveWrongVersion, Sender::Host, "name"},
    {WrongVersion, Sender::Host, "empty"},
    {PlayerDisconnected, Sender::Host, "slot, name (the rest)"},
    {Chat, Sender::Host, "name chats: text|colour"},
    {Action, Sender::Host, "name text|colour"},
    {PlayASound, Sender::Host, "slot, waveN, empty"},
    {StartGame, Sender::Host, "starter, bonus t/f, team true/false"},
    {SetBonusDice, Sender::Host, "face"},
    {NextPlayer, Sender::Host, "seat, round, total, rolls, empty"},
    {TheDice, Sender::Host, "seat, more y/n, rolls, then die, face for each die thrown"},
    {SetDice, Sender::Host, "die"},
    {UnsetDice, Sender::Host, "die"},
    {RollAgain, Sender::Host, "empty"},
    {ChooseAgain, Sender::Host, "empty"},
    {PScore, Sender::Host, "seat, total, mark, then the 15 card rows"},
    {JustWatching, Sender::Host, "seat, 1 on / 2 off"},
    {Winner, Sender::Host, "winners, score, empty"},
};

// Sent, and on purpose handled by nobody: the host reads the pace from its
// own player window in-process; the message stays for hosts that expect it.
inline constexpr const char* DeliberatelyUnhandled[] = {BotSpeed};

} // namespace net::commands
