#pragma once

// Defences for a host that strangers can reach. The game's own host runs
// without them, as players know it; the dedicated server switches them on.
struct THostPolicy {
    // A connection that has not logged in by then is dropped (0: never).
    int loginTimeoutMs = 0;
    // Connections one address may hold at once (0: any number).
    int maxPerAddress = 0;
    // Messages a connection may send in a burst, and per second after it
    // (0: no limit). Running the bucket dry drops the connection.
    int burst = 256;
    double maxRate = 0;
};
