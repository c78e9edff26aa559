#include "Help.h"

namespace {

struct TVerbHelp {
    const char* Verb;
    const char* Text;
};

constexpr TVerbHelp kVerbs[] = {
    {"create",
     "usage: lumpack create MANIFEST [-o OUT] [--stub STUB]\n"
     "\n"
     "Builds the package that MANIFEST describes (an INI file; see the README).\n"
     "\n"
     "  -o OUT       the package file; default: [Package] Output, else the\n"
     "               manifest's name with .exe, beside it\n"
     "  --stub STUB  the launcher image; default: [Package] Stub, else stub.exe\n"
     "               beside lumpack, else the stub of the build that made it\n"
     "\n"
     "Every volume is written under a temporary name and renamed when all are\n"
     "complete. On a terminal, the progress is shown on stderr.\n"},
    {"list",
     "usage: lumpack list FILE\n"
     "\n"
     "Prints each volume's file size and SHA-256, its trailer and flags, the\n"
     "header blocks (tokens unscrambled, the update key) and every entry.\n"},
    {"verify",
     "usage: lumpack verify FILE\n"
     "\n"
     "Checks the structure, the checksum and every zlib stream of all volumes.\n"},
    {"extract",
     "usage: lumpack extract FILE DIR\n"
     "\n"
     "Extracts the files into DIR for inspection; the program is not started.\n"},
    {"token",
     "usage: lumpack token TEXT\n"
     "\n"
     "Prints the identity token TEXT in its stored (scrambled) form, as the\n"
     "token field of an inform file takes it.\n"},
    {"keygen",
     "usage: lumpack keygen BASE\n"
     "\n"
     "Makes an RSA-3072 update key pair:\n"
     "  BASE.private.pem  the private key (PEM), created with mode 0600; it signs\n"
     "                    INFO files (release --key). Keep it off the server.\n"
     "  BASE.public.pem   the public key (PEM), for the agent's manifest:\n"
     "                    [Agent] UpdateKey = BASE.public.pem\n"
     "Existing files are never replaced.\n"},
    {"release",
     "usage: lumpack release INFO SETUP VERSION [--key PRIVATE] [--agent AGENT | --pub PUBLIC]\n"
     "                       [--inform FILE] [--expires YYYY-MM-DD] [--stamp N]\n"
     "\n"
     "Writes into [NewSetup] of the INFO file what it can compute from the new\n"
     "setup package SETUP: NameOfUpdateFile, SizeOfUpdateFile,\n"
     "SHA256OfUpdateFile, VersionNew = VERSION and Stamp; every other key,\n"
     "comment and line stays as written. With --key it writes INFO.sig, the\n"
     "signature of the INFO file's exact bytes. Both files are replaced only\n"
     "when everything succeeded.\n"
     "\n"
     "  --key PRIVATE      sign with this private key (PEM, from keygen)\n"
     "  --agent AGENT      the agent package the update is for: the setup must\n"
     "                     carry its identity token, and the private key must\n"
     "                     match the key the agent pins\n"
     "  --pub PUBLIC       only check the private key against this public key\n"
     "  --inform FILE      the inform file: NameOfInformFile, SizeOfInformFile\n"
     "                     and SHA256OfInformFile in [AutoInform]\n"
     "  --expires DAY      write Expires = DAY (YYYY-MM-DD) into [NewSetup]: an\n"
     "                     agent refuses the INFO file after that day\n"
     "  --stamp N          the Stamp to write; default: the time in seconds\n"
     "                     since 1970, and always above the previous Stamp\n"
     "\n"
     "VERSION is a whole number from 1 to 2147483647, above the VersionNew the\n"
     "INFO file holds. Refused (exit 1): a SETUP that is not a package, a token\n"
     "that differs from the agent's, a version not above the last, a private\n"
     "key that does not match the agent's key, an agent that pins a key\n"
     "without --key, an existing INFO.sig without --key, an Expires day that\n"
     "has passed, a signed INFO file in inform mode without\n"
     "SHA256OfInformFile.\n"},
    {"check",
     "usage: lumpack check INFO [--agent AGENT | --pub PUBLIC] [--files DIR]\n"
     "\n"
     "Checks an INFO file before it is uploaded, as an agent will: its\n"
     "signature INFO.sig (against the key that AGENT pins, or PUBLIC), VersionNew,\n"
     "Expires, and the size and SHA-256 of the setup file it names (of the\n"
     "inform file in inform mode), which lie beside it. With a key,\n"
     "SHA256OfUpdateFile (SHA256OfInformFile) is required. Every problem found\n"
     "is printed; the exit code is 1 when there is one.\n"
     "\n"
     "  --agent AGENT  check the signature with the key AGENT pins, and that\n"
     "                 the setup carries AGENT's identity token\n"
     "  --pub PUBLIC   check the signature with this public key\n"
     "  --files DIR    where the setup and inform files lie (default: beside INFO)\n"},
};

}  // namespace

const char* const kOverview =
    "usage: lumpack VERB ...   (lumpack VERB --help describes a verb)\n"
    "\n"
    "  create MANIFEST [-o OUT] [--stub STUB]   build a package\n"
    "  list FILE                                 trailer, flags, blocks and entries of every volume\n"
    "  verify FILE                               structure, checksum and every zlib stream\n"
    "  extract FILE DIR                          extract for inspection (the program is not started)\n"
    "  token TEXT                                an identity token in its stored (scrambled) form\n"
    "  keygen BASE                               an update key pair: BASE.private.pem, BASE.public.pem\n"
    "  release INFO SETUP VERSION [options]      write the new setup into the INFO file and sign it\n"
    "  check INFO [options]                      check an INFO file, its signature and its files\n"
    "\n"
    "Exit codes: 0 success, 1 a fault in the input (manifest, package, INFO\n"
    "file, key), 2 a usage error.\n";

const char* VerbHelp(const std::string& verb) {
    for (const auto& v : kVerbs)
        if (verb == v.Verb) return v.Text;
    return nullptr;
}
