// lumpack: builds Lumidor packages from a manifest, inspects them, and
// publishes updates for the agent (keygen, release, check). Help.cpp holds
// the usage of every verb.
//
// Exit codes: 0 success, 1 a fault in the input (manifest, package, INFO
// file, key), 2 usage.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "Help.h"
#include "InfoFile.h"
#include "Manifest.h"
#include "PackageView.h"
#include "Progress.h"
#include "Release.h"
#include "package/PackWriter.h"
#include "package/PackX.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

// A usage error: why, then the verb's usage (or the overview), on stderr.
int Usage(const std::string& why, const std::string& verb = "") {
    if (!why.empty()) std::cerr << "lumpack: " << why << "\n";
    const char* help = VerbHelp(verb);
    std::cerr << (help ? std::string(help).substr(0, std::string(help).find("\n\n") + 1) : kOverview);
    if (help) std::cerr << "(lumpack " << verb << " --help for more)\n";
    return 2;
}

bool WantsHelp(const std::vector<std::string>& args) {
    return std::find_if(args.begin(), args.end(), [](const auto& a) { return a == "--help" || a == "-h"; }) !=
           args.end();
}

// Options with a value ("--key FILE") and the positional arguments, in order.
// Empty when all is well, else the usage error.
std::string SplitArgs(const std::vector<std::string>& args, const std::vector<std::string>& known,
                      std::map<std::string, std::string>& options, std::vector<std::string>& positional) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 1 && a[0] == '-') {
            if (std::find(known.begin(), known.end(), a) == known.end()) return "unknown option " + a;
            if (i + 1 == args.size()) return a + " needs a value";
            if (!options.emplace(a, args[++i]).second) return a + " given twice";
        } else {
            positional.push_back(a);
        }
    }
    return "";
}

int Fail(const std::string& error) {
    std::cerr << "lumpack: " << error << "\n";
    return 1;
}

fs::path OwnFolder(const char* argv0) {
#ifdef _WIN32
    char buf[MAX_PATH + 1] = {};
    if (::GetModuleFileNameA(nullptr, buf, MAX_PATH)) return fs::path(buf).parent_path();
#else
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) return self.parent_path();
#endif
    return fs::absolute(argv0).parent_path();
}

// The stub: --stub, else the manifest's Stub, else stub.exe beside lumpack,
// else the stub.exe of the build that made lumpack.
std::string FindStub(const std::string& option, const std::string& fromManifest, const char* argv0) {
    if (!option.empty()) return option;
    if (!fromManifest.empty()) return fromManifest;
    std::error_code ec;
    fs::path beside = OwnFolder(argv0) / "stub.exe";
    if (fs::exists(beside, ec)) return beside.string();
#ifdef LUMPACK_DEFAULT_STUB
    if (fs::exists(LUMPACK_DEFAULT_STUB, ec)) return LUMPACK_DEFAULT_STUB;
#endif
    return "";
}

// A package that spans disks and is not itself named as the first volume.
bool SpansDisks(const TPackPlan& plan, const std::string& out) {
    if (!(plan.Flags & pfCdSpanned)) return false;
    std::string tail = out.size() >= 4 ? out.substr(out.size() - 4) : out;
    return tail != ".001";
}

int Create(const std::vector<std::string>& args, const char* argv0) {
    std::map<std::string, std::string> options;
    std::vector<std::string> positional;
    if (auto e = SplitArgs(args, {"-o", "--stub"}, options, positional); !e.empty()) return Usage(e, "create");
    if (positional.empty()) return Usage("create needs a manifest", "create");
    if (positional.size() > 1) return Usage("one manifest only", "create");
    const std::string manifestPath = positional[0];
    std::string out = options["-o"];
    const std::string stub = options["--stub"];

    TManifest m;
    if (auto e = ParseManifest(manifestPath, m); !e.empty()) return Fail(e);
    m.Plan.StubPath = FindStub(stub, m.Plan.StubPath, argv0);
    if (m.Plan.StubPath.empty()) return Fail(manifestPath + ": no stub: name one with Stub = in [Package] or --stub");
    if (out.empty()) out = m.Output;
    if (out.empty()) out = (fs::path(manifestPath).parent_path() / fs::path(manifestPath).stem()).string() + ".exe";

    std::error_code ec;
    if (fs::path parent = fs::path(out).parent_path(); !parent.empty()) fs::create_directories(parent, ec);
    TTerminalProgress progress;
    m.Plan.Progress = [&progress](uint64_t done, uint64_t total) { progress.Update(done, total); };
    auto failed = [&progress](const std::string& e) {
        progress.Finish();
        return Fail(e);
    };
    TPackReport report;
    if (SpansDisks(m.Plan, out)) {
        // A disk set: the launcher started from the first disk runs from a
        // copy in the temporary folder and reads its volumes as OUT.001,
        // OUT.002 ... So OUT is the launcher alone (the stub and the header
        // blocks, no files) and the package goes into the numbered volumes.
        if (auto e = WritePackage(m.Plan, out + ".001", &report); !e.empty()) return failed(out + ".001: " + e);
        TPackPlan launcher = m.Plan;
        launcher.Items.clear();
        launcher.VolumeSize = 0;
        TPackReport launcherReport;
        if (auto e = WritePackage(launcher, out, &launcherReport); !e.empty()) {
            for (const auto& v : report.Volumes) fs::remove(v, ec);
            return failed(out + ": " + e);
        }
        report.Volumes.insert(report.Volumes.begin(), out);
        report.OutputBytes += launcherReport.OutputBytes;
    } else if (auto e = WritePackage(m.Plan, out, &report); !e.empty()) {
        return failed(out + ": " + e);
    }
    progress.Finish();
    std::cout << "wrote";
    for (const auto& v : report.Volumes) std::cout << " " << v;
    const auto files = std::count_if(m.Plan.Items.begin(), m.Plan.Items.end(), [](const auto& i) { return !i.Folder; });
    std::cout << "\n  " << files << " file(s), " << report.Folders << " folder(s), " << report.Entries << " entries, "
              << report.InputBytes << " bytes in, " << report.OutputBytes << " bytes out (" << report.Volumes.size() << " volume(s))\n";
    return 0;
}

int KeyGenVerb(const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-') return Usage("keygen needs one BASE name", "keygen");
    if (auto e = KeyGen(args[0], std::cout); !e.empty()) return Fail(e);
    return 0;
}

int ReleaseVerb(const std::vector<std::string>& args) {
    std::map<std::string, std::string> o;
    std::vector<std::string> positional;
    if (auto e = SplitArgs(args, {"--key", "--agent", "--pub", "--inform", "--expires", "--stamp"}, o, positional);
        !e.empty())
        return Usage(e, "release");
    if (positional.size() != 3) return Usage("release needs INFO, SETUP and VERSION", "release");
    TReleaseOptions r;
    r.InfoPath = positional[0];
    r.SetupPath = positional[1];
    if (!ParseVersion(positional[2], r.Version))
        return Usage("VERSION '" + positional[2] + "' is not a whole number from 1 to 2147483647", "release");
    if (o.count("--agent") && o.count("--pub")) return Usage("--agent and --pub exclude each other", "release");
    r.PrivateKeyPath = o["--key"];
    r.AgentPath = o["--agent"];
    r.PublicKeyPath = o["--pub"];
    r.InformPath = o["--inform"];
    r.Expires = o["--expires"];
    std::chrono::year_month_day day;
    if (!r.Expires.empty() && !ParseDay(r.Expires, day))
        return Usage("--expires '" + r.Expires + "' is not a day written YYYY-MM-DD", "release");
    if (o.count("--stamp") && !ParseVersion(o["--stamp"], r.Stamp))
        return Usage("--stamp '" + o["--stamp"] + "' is not a whole number from 1 to 2147483647", "release");
    if (auto e = Release(r, std::cout); !e.empty()) return Fail(e);
    return 0;
}

int CheckVerb(const std::vector<std::string>& args) {
    std::map<std::string, std::string> o;
    std::vector<std::string> positional;
    if (auto e = SplitArgs(args, {"--agent", "--pub", "--files"}, o, positional); !e.empty()) return Usage(e, "check");
    if (positional.size() != 1) return Usage("check needs one INFO file", "check");
    if (o.count("--agent") && o.count("--pub")) return Usage("--agent and --pub exclude each other", "check");
    TCheckOptions c;
    c.InfoPath = positional[0];
    c.AgentPath = o["--agent"];
    c.PublicKeyPath = o["--pub"];
    c.FilesDir = o["--files"];
    if (auto e = CheckRelease(c, std::cout); !e.empty()) return Fail(e);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage("");
    const std::string cmd = args[0];
    args.erase(args.begin());
    if (cmd == "-h" || cmd == "--help" || cmd == "help") {
        const char* verb = args.empty() ? nullptr : VerbHelp(args[0]);
        if (!args.empty() && !verb) return Usage("no verb " + args[0]);
        std::cout << (verb ? verb : kOverview);
        return 0;
    }
    if (!VerbHelp(cmd)) return Usage("unknown verb " + cmd);
    if (WantsHelp(args)) {
        std::cout << VerbHelp(cmd);
        return 0;
    }
    if (cmd == "create") return Create(args, argv[0]);
    if (cmd == "list" || cmd == "verify") {
        if (args.size() != 1) return Usage(cmd + " needs one package file", cmd);
        auto mode = cmd == "list" ? TInspectMode::List : TInspectMode::Verify;
        if (auto e = InspectPackage(args[0], mode, std::cout, std::cerr); !e.empty()) return Fail(e);
        return 0;
    }
    if (cmd == "extract") {
        if (args.size() != 2) return Usage("extract needs a package file and a folder", cmd);
        if (auto e = InspectPackage(args[0], TInspectMode::Extract, std::cout, std::cerr, args[1]); !e.empty())
            return Fail(e);
        return 0;
    }
    if (cmd == "token") {
        if (args.size() != 1) return Usage("token needs one text", cmd);
        std::cout << ScrambleValue(args[0]) << "\n";
        return 0;
    }
    if (cmd == "keygen") return KeyGenVerb(args);
    if (cmd == "release") return ReleaseVerb(args);
    return CheckVerb(args);
}
