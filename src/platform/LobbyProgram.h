#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// The Kelvor lobby on this machine: where its installer is downloaded from,
// where the installed lobby is, and how both are started. Starting never
// waits for the program started.

// The installer's download address: DUNVEX_LOBBY_URL, or the lobby maker's own.
QString lobbyDownloadUrl();

// The lobby maker's Ed25519 public key in PEM form, which an installer's
// signature must verify against: the PEM file that DUNVEX_LOBBY_KEY names, or
// the key built into the program. Empty when DUNVEX_LOBBY_KEY names a file
// that cannot be read, so nothing verifies then.
QByteArray lobbyPublicKey();
// The address of an installer's detached signature.
QString lobbySignatureUrl(const QString& installerUrl);

// The installed lobby program, or empty when it is not installed. Windows:
// its fixed install path; elsewhere `kelvor-lobby` on the PATH, else
// /opt/kelvor/KelvorLobby.
QString installedLobbyProgram();

// The arguments that make the installer run silently, without icons.
QStringList lobbyInstallerArguments();

// Runs a downloaded installer with lobbyInstallerArguments(); false when it
// could not be started. On Linux the file is made executable for its owner.
bool runLobbyInstaller(const QString& installerPath);

// Starts the installed lobby; false when it could not be started.
bool startLobbyProgram(const QString& programPath);

} // namespace platform
