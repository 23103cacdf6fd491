#pragma once

class Tchat;
class Ttallylist;
class Tabout;
class Thelp;
class TServer;
class Tspylist;
class Tgamestartform;
class Tphrases;
class Tdownload;

// The program's windows, in the order they are created. Each entry is set as
// its window is made, so a window's creation handler sees only those before it.
struct TFormSet {
    Tchat* chat = nullptr;
    Ttallylist* tallylist = nullptr;
    Tabout* about = nullptr;
    Thelp* help = nullptr;
    TServer* server = nullptr;
    Tspylist* spylist = nullptr;
    Tgamestartform* gamestartform = nullptr;
    Tphrases* phrases = nullptr;
    Tdownload* download = nullptr;
};
