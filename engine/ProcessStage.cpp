#include <sox.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/ConversionTask.h"
#include "engine/Pipeline.h"
#include "engine/ProcessStage.h"
#include "engine/StageThread.h"
#include "platform/Tick.h"

namespace {

CConversionTask& TaskOf(sox_effect_t* effp) {
    return **static_cast<CConversionTask**>(effp->priv);
}

bool Running(CConversionTask& task) {
    return task.m_pipeline->IsRunning();
}

// Pulls decoded samples: full requests while the decoder runs, then the rest, then the end.
int InputDrain(sox_effect_t* effp, sox_sample_t* obuf, size_t* osamp) {
    CConversionTask& task = TaskOf(effp);
    const size_t channels = effp->out_signal.channels ? effp->out_signal.channels : 1;
    const uint32_t wanted = static_cast<uint32_t>(*osamp / channels * channels);
    SampleRing& ring = task.m_pipeline->DecodeRing();
    while (Running(task)) {
        const uint32_t seen = ring.Changes();
        // Load the flag before the count: once the decoder has ended, the count is final.
        const bool decoding = task.m_decoding.load(std::memory_order_acquire) != 0;
        if (ring.Available(0) >= wanted || !decoding) {
            const uint32_t n = ring.Read(obuf, wanted, 0);
            *osamp = n;
            return n > 0 ? SOX_SUCCESS : SOX_EOF;
        }
        ring.WaitForChange(seen, RING_WAIT_MS);
    }
    *osamp = 0;
    return SOX_EOF;
}

// Pushes the processed samples into the encoder's ring.
int OutputFlow(sox_effect_t* effp, const sox_sample_t* ibuf, sox_sample_t*, size_t* isamp,
               size_t* osamp) {
    CConversionTask& task = TaskOf(effp);
    *osamp = 0;
    const uint32_t offered = static_cast<uint32_t>(*isamp);
    SampleRing& ring = task.m_pipeline->ProcessedRing();
    while (Running(task)) {
        const uint32_t seen = ring.Changes();
        if (ring.FreeSpace() >= offered) {
            if (ring.Write(ibuf, offered) != offered)
                return SOX_EOF;
            return SOX_SUCCESS;
        }
        ring.WaitForChange(seen, RING_WAIT_MS);
    }
    return SOX_EOF;
}

const sox_effect_handler_t* InputHandler() {
    static const sox_effect_handler_t handler = {
        "input", nullptr,    SOX_EFF_MCHAN, nullptr, nullptr,
        nullptr, InputDrain, nullptr,       nullptr, sizeof(CConversionTask*)};
    return &handler;
}

const sox_effect_handler_t* OutputHandler() {
    static const sox_effect_handler_t handler = {
        "output",   nullptr, SOX_EFF_MCHAN, nullptr, nullptr,
        OutputFlow, nullptr, nullptr,       nullptr, sizeof(CConversionTask*)};
    return &handler;
}

void DiscardEffect(sox_effect_t* effect) {
    if (effect->handler.kill)
        effect->handler.kill(effect);
    std::free(effect->priv);
    std::free(effect);
}

// An effect created but not yet in a chain: freed with its private data unless the chain took it.
struct EffectDiscarder {
    void operator()(sox_effect_t* effect) const { DiscardEffect(effect); }
};
using OwnedEffect = std::unique_ptr<sox_effect_t, EffectDiscarder>;

// Adds one effect; false when the library refuses it. The library copies the effect and keeps
// its private data when it accepts it, so only the shell is freed then.
bool AddEffect(sox_effects_chain_t* chain, OwnedEffect effect, sox_signalinfo_t* running,
               const sox_signalinfo_t* requested) {
    if (sox_add_effect(chain, effect.get(), running, requested) != SOX_SUCCESS)
        return false;
    std::free(effect.release());
    return true;
}

// The one effect the library may refuse: the 7000 Hz low-pass above half a low rate.
bool MayBeLeftOut(const std::vector<std::string>& step, double rate) {
    return step[0] == "lowpass" && step.size() == 2 && std::atof(step[1].c_str()) * 2 >= rate;
}

sox_effect_t* CreateOwnEffect(const sox_effect_handler_t* handler, CConversionTask* task) {
    sox_effect_t* effect = sox_create_effect(handler);
    if (effect)
        *static_cast<CConversionTask**>(effect->priv) = task;
    return effect;
}

}  // namespace

std::string AddChainEffects(sox_effects_chain_t* chain,
                            const std::vector<std::vector<std::string>>& steps,
                            sox_signalinfo_t& running, const sox_signalinfo_t& requested,
                            const std::function<sox_effect_t*(const std::string&)>& ownEffect) {
    for (const auto& step : steps) {
        const std::string& name = step[0];
        if (name == "input" || name == "output") {
            OwnedEffect effect(ownEffect(name));
            if (!effect)
                return "the effect \"" + name + "\" cannot be created";
            // The input effect's output is the running signal as it stands.
            sox_signalinfo_t out = running;
            if (!AddEffect(chain, std::move(effect), &running, name == "input" ? &out : &requested))
                return "the effect \"" + name + "\" cannot start";
            continue;
        }
        const sox_effect_handler_t* handler = sox_find_effect(name.c_str());
        if (!handler)
            return "the effect \"" + name + "\" is missing";
        OwnedEffect effect(sox_create_effect(handler));
        if (!effect)
            return "the effect \"" + name + "\" cannot be created";
        std::vector<std::string> args(step.begin() + 1, step.end());
        std::vector<char*> argv;
        std::string shown;
        for (auto& a : args) {
            argv.push_back(a.data());
            shown += (shown.empty() ? "" : " ") + a;
        }
        if (sox_effect_options(effect.get(), static_cast<int>(argv.size()), argv.data()) !=
            SOX_SUCCESS)
            return "the effect \"" + name + "\" refuses \"" + shown + "\"";
        const double rate = running.rate;
        if (!AddEffect(chain, std::move(effect), &running, &requested) && !MayBeLeftOut(step, rate))
            return "the effect \"" + name + "\" cannot start with \"" + shown + "\"";
    }
    return {};
}

std::string FlowEffects(sox_effects_chain_t* chain, const std::function<bool()>& running) {
    const int flow = sox_flow_effects(chain, nullptr, nullptr);
    // Our own effects end the flow with SOX_EOF on a cancel; only a flow that fails while the
    // batch still runs is a failure.
    if (flow == SOX_SUCCESS || !running())
        return {};
    return "Processing the audio failed (libsox " + std::to_string(flow) + ")";
}

std::string ChainOutputError(const sox_signalinfo_t& output, uint32_t destRate,
                             uint32_t destChannels) {
    if (output.rate != static_cast<double>(destRate) || output.channels != destChannels) {
        char text[160];
        std::snprintf(text, sizeof text, "it gives %.0f Hz, %u channel(s) instead of %u Hz, %u",
                      output.rate, output.channels, destRate, destChannels);
        return text;
    }
    return {};
}

std::vector<std::vector<std::string>> ChainFor(uint32_t sourceChannels, uint32_t sourceRate,
                                               uint32_t destChannels, uint32_t destRate) {
    std::vector<std::vector<std::string>> chain;
    chain.push_back({"input"});
    if (destChannels != sourceChannels) {
        const std::vector<std::string> downmix = StereoDownmix(sourceChannels);
        if (destChannels == 2 && !downmix.empty()) {
            chain.push_back({"remix", "-m"});
            chain.back().insert(chain.back().end(), downmix.begin(), downmix.end());
        } else {
            chain.push_back({"channels", std::to_string(destChannels)});
        }
    }
    if (destRate != sourceRate)
        chain.push_back({"rate", std::to_string(destRate)});
    chain.push_back({"lowpass", "7000"});
    chain.push_back({"highpass", "100"});
    chain.push_back({"output"});
    return chain;
}

std::vector<std::string> StereoDownmix(uint32_t channels) {
    // Per source channel in stream order: its gain into the left and into the right output.
    // Front channels go to their own side, the centre to both at -3 dB, side and rear channels
    // to their side at -3 dB, a rear centre to both at -6 dB; the LFE channel is left out.
    struct Gain {
        double left, right;
    };
    const double c = 0.7071;
    std::vector<Gain> gains;
    switch (channels) {
        case 3:  // L C R
            gains = {{1, 0}, {c, c}, {0, 1}};
            break;
        case 4:  // FL FR RL RR
            gains = {{1, 0}, {0, 1}, {c, 0}, {0, c}};
            break;
        case 5:  // FL C FR RL RR
            gains = {{1, 0}, {c, c}, {0, 1}, {c, 0}, {0, c}};
            break;
        case 6:  // FL C FR RL RR LFE
            gains = {{1, 0}, {c, c}, {0, 1}, {c, 0}, {0, c}, {0, 0}};
            break;
        case 7:  // FL C FR SL SR RC LFE
            gains = {{1, 0}, {c, c}, {0, 1}, {c, 0}, {0, c}, {0.5, 0.5}, {0, 0}};
            break;
        case 8:  // FL C FR SL SR RL RR LFE
            gains = {{1, 0}, {c, c}, {0, 1}, {c, 0}, {0, c}, {c, 0}, {0, c}, {0, 0}};
            break;
        default:
            return {};
    }
    // Scaled so that no output can exceed full scale.
    std::vector<std::string> outputs;
    for (int side = 0; side < 2; ++side) {
        double sum = 0;
        for (const Gain& g : gains)
            sum += side == 0 ? g.left : g.right;
        std::string spec;
        for (size_t i = 0; i < gains.size(); ++i) {
            const double gain = (side == 0 ? gains[i].left : gains[i].right) / sum;
            if (gain == 0)
                continue;
            char part[32];
            std::snprintf(part, sizeof part, "%s%zuv%.6f", spec.empty() ? "" : ",", i + 1, gain);
            spec += part;
        }
        outputs.push_back(spec);
    }
    return outputs;
}

int CConversionTask::RunProcessing() {
    CPipeline& state = *m_pipeline;
    m_processing.store(1, std::memory_order_release);
    sox_effects_chain_t* chain = nullptr;
    try {
        sox_encodinginfo_t encoding = {};
        encoding.encoding = SOX_ENCODING_SIGN2;
        encoding.bits_per_sample = 32;
        encoding.compression = 0;
        encoding.reverse_bytes = sox_option_no;
        encoding.reverse_nibbles = sox_option_no;
        encoding.reverse_bits = sox_option_no;
        encoding.opposite_endian = sox_false;

        sox_signalinfo_t running = {static_cast<sox_rate_t>(m_sourceRate), m_sourceChannels, 32,
                                    SOX_UNKNOWN_LEN, nullptr};
        const sox_signalinfo_t requested = running;

        chain = sox_create_effects_chain(&encoding, &encoding);
        if (!chain)
            throw std::bad_alloc();
        std::string problem = AddChainEffects(
            chain, ChainFor(m_sourceChannels, m_sourceRate, m_destChannels, m_destRate), running,
            requested, [this](const std::string& name) {
                return CreateOwnEffect(name == "input" ? InputHandler() : OutputHandler(), this);
            });
        if (problem.empty())
            problem = ChainOutputError(running, m_destRate, m_destChannels);
        if (!problem.empty()) {
            sox_delete_effects_chain(chain);
            state.ReportError("The processing chain cannot be built: " + problem);
            m_processing.store(0, std::memory_order_release);
            return 0;
        }

        StartStageThread(*this, &CConversionTask::RunEncoder, state.m_encodeThread);
        const std::string failure = FlowEffects(chain, [&state] { return state.IsRunning(); });
        if (!failure.empty())
            state.ReportError(failure);
        sox_delete_effects_chain(chain);
        chain = nullptr;
    } catch (...) {
        if (chain)
            sox_delete_effects_chain(chain);
        state.ReportError("An error occurred while processing audio data");
        m_processing.store(0, std::memory_order_release);
        state.ProcessedRing().Wake();
        return 0;
    }
    // Last: the encoder that sees the end also sees every processed sample.
    m_processing.store(0, std::memory_order_release);
    state.ProcessedRing().Wake();
    return 1;
}
