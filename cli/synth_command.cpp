// synth: a project of synthetic pile records and its ground truth.
#include <filesystem>
#include <iostream>

#include "base/atomic_file.hpp"
#include "cli/command.hpp"
#include "model/document.hpp"
#include "synth/site_builder.hpp"

namespace tav::cli {

namespace {

struct SynthOptions {
    std::string output;
    std::string truth;
    std::string sensor = "acceleration";
    std::string randomDefects = "off";
    std::vector<std::string> defects;
    synth::SiteOptions site;
};

int Synth(SynthOptions& o) {
    auto& site = o.site;
    site.sensor = o.sensor == "velocity"   ? synth::SensorChoice::Velocity
                  : o.sensor == "mixed"    ? synth::SensorChoice::Mixed
                                           : synth::SensorChoice::Acceleration;
    site.randomDefects = o.randomDefects == "on";
    for (const auto& text : o.defects) {
        const auto d = synth::ParseDefectSpec(text);
        if (!d) {
            std::cerr << "tavtool: --defect " << text << ": expected PILE:DEPTH:TYPE:RATIO with TYPE one of "
                      << "neck, bulge, crack, break, base\n";
            return kExitUsage;
        }
        site.defects.push_back(*d);
    }

    CTAV_AnalyserDoc doc;
    std::vector<synth::TruthPoint> truth;
    if (const auto problem = synth::BuildSite(site, doc, truth); !problem.empty()) {
        ReportError(o.output, problem);
        return kExitInvalidData;
    }
    // Both files are written in full before either replaces anything: a
    // failure leaves the old project and its old truth together.
    const std::string truthPath =
        o.truth.empty() ? std::filesystem::path(o.output).replace_extension(".truth.json").string() : o.truth;
    AtomicFileWriter project(o.output);
    AtomicFileWriter truthFile(truthPath);
    if (!doc.WriteProject(project) || !project.Finish()) {
        ReportError(o.output, project.Error());
        return kExitIo;
    }
    const auto json = synth::TruthJson(truth);
    if (!truthFile.Write(std::span(reinterpret_cast<const std::uint8_t*>(json.data()), json.size())) ||
        !truthFile.Finish()) {
        ReportError(truthPath, truthFile.Error());
        return kExitIo;
    }
    if (!project.Commit()) {
        ReportError(o.output, project.Error());
        return kExitIo;
    }
    if (!truthFile.Commit()) {
        ReportError(truthPath, truthFile.Error());
        return kExitIo;
    }
    return kExitOk;
}

}  // namespace

void RegisterSynthCommand(CLI::App& app, Runner& run) {
    static SynthOptions o;
    auto* c = app.add_subcommand("synth", "write a project of synthetic pile records and its ground truth");
    c->add_option("-o", o.output, "project file to write")->required();
    c->add_option("--truth", o.truth, "ground-truth JSON (default: OUT with .truth.json)");
    c->add_option("--piles", o.site.piles, "number of piles")->capture_default_str();
    c->add_option("--points-per-pile", o.site.pointsPerPile, "test points per pile")->capture_default_str();
    c->add_option("--seed", o.site.seed, "seed of the site")->capture_default_str();
    c->add_option("--sensor", o.sensor, "velocity, acceleration, or mixed (alternating by pile)")
        ->check(CLI::IsMember({"velocity", "acceleration", "mixed"}))
        ->capture_default_str();
    c->add_option("--interval", o.site.sampleInterval, "sampling interval, us")->capture_default_str();
    c->add_option("--samples", o.site.samples, "samples per record")->capture_default_str();
    c->add_option("--noise", o.site.noise, "noise RMS as a share of the blow's peak (0 = none)")->capture_default_str();
    c->add_option("--random-defects", o.randomDefects, "draw defects on piles without given ones")
        ->check(CLI::IsMember({"on", "off"}))
        ->capture_default_str();
    c->add_option("--defect", o.defects, "PILE:DEPTH:TYPE:RATIO, TYPE neck|bulge|crack|break|base (repeatable)");
    c->callback([&] { run = [] { return Synth(o); }; });
}

}  // namespace tav::cli
