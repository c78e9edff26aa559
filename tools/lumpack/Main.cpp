// lumpack: builds Lumidor packages from a manifest and inspects them.
//
//   lumpack create MANIFEST [-o OUT] [--stub STUB]
//   lumpack list FILE
//   lumpack verify FILE
//   lumpack extract FILE DIR
//   lumpack token TEXT        the identity token in its stored form, as the
//                             token field of an inform file takes it
//
// Exit codes: 0 success, 1 a fault in the manifest or the package, 2 usage.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "PackageView.h"
#include "Manifest.h"
#include "package/PackWriter.h"
#include "package/PackX.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: lumpack create MANIFEST [-o OUT] [--stub STUB]\n"
    "       lumpack list FILE\n"
    "       lumpack verify FILE\n"
    "       lumpack extract FILE DIR\n"
    "       lumpack token TEXT\n";

int Usage(const std::string& why) {
    if (!why.empty()) std::cerr << "lumpack: " << why << "\n";
    std::cerr << kUsage;
    return 2;
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
    std::string manifestPath, out, stub;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" || args[i] == "--stub") {
            if (i + 1 == args.size()) return Usage(args[i] + " needs a value");
            std::string& target = args[i] == "-o" ? out : stub;
            target = args[++i];
        } else if (!args[i].empty() && args[i][0] == '-') return Usage("unknown option " + args[i]);
        else if (manifestPath.empty()) manifestPath = args[i];
        else return Usage("one manifest only");
    }
    if (manifestPath.empty()) return Usage("create needs a manifest");

    TManifest m;
    if (auto e = ParseManifest(manifestPath, m); !e.empty()) return Fail(e);
    m.Plan.StubPath = FindStub(stub, m.Plan.StubPath, argv0);
    if (m.Plan.StubPath.empty()) return Fail(manifestPath + ": no stub: name one with Stub = in [Package] or --stub");
    if (out.empty()) out = m.Output;
    if (out.empty()) out = (fs::path(manifestPath).parent_path() / fs::path(manifestPath).stem()).string() + ".exe";

    std::error_code ec;
    if (fs::path parent = fs::path(out).parent_path(); !parent.empty()) fs::create_directories(parent, ec);
    TPackReport report;
    if (SpansDisks(m.Plan, out)) {
        // A disk set: the launcher started from the first disk runs from a
        // copy in the temporary folder and reads its volumes as OUT.001,
        // OUT.002 ... So OUT is the launcher alone (the stub and the header
        // blocks, no files) and the package goes into the numbered volumes.
        if (auto e = WritePackage(m.Plan, out + ".001", &report); !e.empty()) return Fail(out + ".001: " + e);
        TPackPlan launcher = m.Plan;
        launcher.Items.clear();
        launcher.VolumeSize = 0;
        TPackReport launcherReport;
        if (auto e = WritePackage(launcher, out, &launcherReport); !e.empty()) {
            for (const auto& v : report.Volumes) fs::remove(v, ec);
            return Fail(out + ": " + e);
        }
        report.Volumes.insert(report.Volumes.begin(), out);
        report.OutputBytes += launcherReport.OutputBytes;
    } else if (auto e = WritePackage(m.Plan, out, &report); !e.empty()) {
        return Fail(out + ": " + e);
    }
    std::cout << "wrote";
    for (const auto& v : report.Volumes) std::cout << " " << v;
    const auto files = std::count_if(m.Plan.Items.begin(), m.Plan.Items.end(), [](const auto& i) { return !i.Folder; });
    std::cout << "\n  " << files << " file(s), " << report.Folders << " folder(s), " << report.Entries << " entries, "
              << report.InputBytes << " bytes in, " << report.OutputBytes << " bytes out (" << report.Volumes.size() << " volume(s))\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage("");
    const std::string cmd = args[0];
    args.erase(args.begin());
    if (cmd == "create") return Create(args, argv[0]);
    if (cmd == "list" || cmd == "verify") {
        if (args.size() != 1) return Usage(cmd + " needs one package file");
        auto mode = cmd == "list" ? TInspectMode::List : TInspectMode::Verify;
        if (auto e = InspectPackage(args[0], mode, std::cout, std::cerr); !e.empty()) return Fail(e);
        return 0;
    }
    if (cmd == "extract") {
        if (args.size() != 2) return Usage("extract needs a package file and a folder");
        if (auto e = InspectPackage(args[0], TInspectMode::Extract, std::cout, std::cerr, args[1]); !e.empty())
            return Fail(e);
        return 0;
    }
    if (cmd == "token") {
        if (args.size() != 1) return Usage("token needs one text");
        std::cout << ScrambleValue(args[0]) << "\n";
        return 0;
    }
    if (cmd == "-h" || cmd == "--help" || cmd == "help") {
        std::cout << kUsage;
        return 0;
    }
    return Usage("unknown command " + cmd);
}
