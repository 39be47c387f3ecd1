// npn5gen: builds and checks the image of minimum five-input circuits.
//
//   npn5gen classes [--classes PATH]
//   npn5gen dp      [--threads N] [--passes N] [--from-level L] [--max-level L] [--max-comp-h C]
//                   [--comp-budget X] [--fresh]
//                   [--image PATH] [--progress PATH] [--classes PATH]
//   npn5gen chains  --gates R [--threads N] [--hours H] [--slice N] [--count] [--image PATH] [--progress PATH]
//   npn5gen sat     [--word HEX]... [--above G] --gates R [--seconds S] [--split 0|1] [--member K] [--members N]
//                   [--trials SUM [--trials-max SUM]]
//   npn5gen published [--list PATH] [--image PATH]
//   npn5gen verify  [--image PATH] [--threads N]
//
// Paths default to the repository layout (run from the repository root).
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "chains.hpp"
#include "classes.hpp"
#include "dp.hpp"
#include "published.hpp"
#include "sat.hpp"
#include "verify.hpp"

namespace {

int usage() {
    std::fprintf(
        stderr,
        "usage: npn5gen classes|dp|chains|sat|published|verify [--threads N] [--image PATH] [--classes PATH]\n"
        "  dp:     [--passes N] [--from-level L] [--max-level L] [--max-comp-h C] [--comp-budget X]\n"
        "          [--fresh] [--progress PATH]\n"
        "  chains: --gates R [--hours H] [--slice N] [--count] [--progress PATH]\n"
        "  sat:    [--word HEX]... [--above G] --gates R [--seconds S] [--split 0|1] [--member K] [--members N]\n"
        "          [--trials SUM [--trials-max SUM]]\n"
        "  published: [--list PATH]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return usage();
    }
    const std::string mode = argv[1];
    npn5gen::DpOptions opt;
    npn5gen::ChainOptions chain;
    npn5gen::SatOptions sat;
    npn5gen::PublishedOptions published;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                throw std::runtime_error("missing value after " + a);
            }
            return argv[++i];
        };
        try {
            if (a == "--threads") {
                opt.threads = std::max(1, std::stoi(next()));
            } else if (a == "--passes") {
                opt.passes = std::stoi(next());
            } else if (a == "--max-level") {
                opt.max_level = std::stoi(next());
            } else if (a == "--comp-budget") {
                opt.comp_budget = std::stod(next());
            } else if (a == "--from-level") {
                opt.from_level = std::stoi(next());
            } else if (a == "--max-comp-h") {
                opt.max_comp_h = std::stoi(next());
            } else if (a == "--gates") {
                chain.r = std::stoi(next());
                sat.gates = chain.r;
            } else if (a == "--word") {
                sat.words.push_back(static_cast<npn5gen::Word>(std::stoul(next(), nullptr, 16)));
            } else if (a == "--above") {
                sat.above = std::stoi(next());
            } else if (a == "--seconds") {
                sat.seconds = std::stod(next());
            } else if (a == "--split") {
                sat.split = std::stoi(next());
            } else if (a == "--trials") {
                sat.trial_sum = std::stoi(next());
                sat.trial_sum_max = std::max(sat.trial_sum, sat.trial_sum_max);
            } else if (a == "--trials-max") {
                sat.trial_sum_max = std::stoi(next());
            } else if (a == "--member") {
                sat.member = std::stoi(next());
            } else if (a == "--members") {
                sat.members = std::max(1, std::stoi(next()));
            } else if (a == "--hours") {
                chain.hours = std::stod(next());
            } else if (a == "--slice") {
                chain.slice = static_cast<std::size_t>(std::stoull(next()));
            } else if (a == "--count") {
                chain.count_only = true;
            } else if (a == "--fresh") {
                opt.fresh = true;
            } else if (a == "--image") {
                opt.image = next();
            } else if (a == "--progress") {
                opt.progress = next();
                chain.progress = opt.progress;
                sat.progress = opt.progress;
            } else if (a == "--list") {
                published.list = next();
            } else if (a == "--classes") {
                opt.classes = next();
            } else {
                return usage();
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return usage();
        }
    }
    try {
        if (mode == "classes") {
            std::filesystem::create_directories(std::filesystem::path(opt.classes).parent_path());
            const auto reps = npn5gen::load_or_enumerate_classes(opt.classes);
            std::printf("%zu classes in %s\n", reps.size(), opt.classes.c_str());
            return 0;
        }
        if (mode == "dp") {
            return npn5gen::run_dp(opt);
        }
        if (mode == "chains") {
            chain.threads = opt.threads;
            chain.image = opt.image;
            chain.classes = opt.classes;
            return npn5gen::run_chains(chain);
        }
        if (mode == "sat") {
            sat.image = opt.image;
            sat.threads = opt.threads;
            sat.classes = opt.classes;
            return npn5gen::run_sat(sat);
        }
        if (mode == "published") {
            published.image = opt.image;
            published.classes = opt.classes;
            return npn5gen::run_published(published);
        }
        if (mode == "verify") {
            return npn5gen::run_verify(opt.image, opt.threads);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "npn5gen: %s\n", e.what());
        return 1;
    }
    return usage();
}
