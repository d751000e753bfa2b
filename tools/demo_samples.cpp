// Synthesizes the samples of the demo soundscape: rain, wind, chimes, a drone
// and water drops, as mono 16-bit PCM WAV files at 22050 Hz. Every random
// draw comes from one generator with a fixed seed, so the files come out the
// same on every build.
//
// usage: demo_samples OUTPUT_DIR

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/wav_writer.h"

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

using Signal = std::vector<double>;

// xorshift64*: small, fast and the same on every platform.
class Noise {
 public:
  explicit Noise(uint64_t seed) : state_(seed) {}
  // Uniform in [0, 1).
  double uniform() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<double>((state_ * 0x2545F4914F6CDD1Dull) >> 11) / 9007199254740992.0;
  }
  // Uniform in [-1, 1).
  double white() { return 2.0 * uniform() - 1.0; }
  double between(double low, double high) { return low + (high - low) * uniform(); }

 private:
  uint64_t state_;
};

std::size_t frames(double seconds) { return static_cast<std::size_t>(seconds * kRate); }

// Two-pole filter in the form of the RBJ cookbook biquads.
class Biquad {
 public:
  static Biquad lowPass(double hz, double q) { return make(hz, q, 0); }
  static Biquad highPass(double hz, double q) { return make(hz, q, 1); }
  static Biquad bandPass(double hz, double q) { return make(hz, q, 2); }

  // Moves a band-pass filter to a new centre without losing its state.
  void retuneBandPass(double hz, double q) {
    const Biquad tuned = make(hz, q, 2);
    b0_ = tuned.b0_, b1_ = tuned.b1_, b2_ = tuned.b2_, a1_ = tuned.a1_, a2_ = tuned.a2_;
  }

  double operator()(double x) {
    const double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
    x2_ = x1_, x1_ = x, y2_ = y1_, y1_ = y;
    return y;
  }

 private:
  static Biquad make(double hz, double q, int kind) {
    const double w = 2.0 * kPi * hz / kRate;
    const double alpha = std::sin(w) / (2.0 * q);
    const double c = std::cos(w);
    const double a0 = 1.0 + alpha;
    Biquad f;
    if (kind == 0) {
      f.b0_ = f.b2_ = (1.0 - c) / 2.0 / a0;
      f.b1_ = (1.0 - c) / a0;
    } else if (kind == 1) {
      f.b0_ = f.b2_ = (1.0 + c) / 2.0 / a0;
      f.b1_ = -(1.0 + c) / a0;
    } else {
      f.b0_ = alpha / a0;
      f.b1_ = 0.0;
      f.b2_ = -alpha / a0;
    }
    f.a1_ = -2.0 * c / a0;
    f.a2_ = (1.0 - alpha) / a0;
    return f;
  }

  double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
  double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

// Quarter-sine fades at both ends: two copies overlapped by `seconds` keep
// an even loudness, which lets the playlist chain them without a seam.
void fadeEnds(Signal& s, double seconds) {
  const std::size_t n = std::min(frames(seconds), s.size() / 2);
  for (std::size_t i = 0; i < n; ++i) {
    const double g = std::sin(0.5 * kPi * static_cast<double>(i) / static_cast<double>(n));
    s[i] *= g;
    s[s.size() - 1 - i] *= g;
  }
}

// Scales the signal so that its largest absolute value is `peak`.
void normalize(Signal& s, double peak) {
  double top = 0.0;
  for (double v : s) top = std::max(top, std::fabs(v));
  if (top == 0.0) return;
  for (double& v : s) v *= peak / top;
}

// A soft noise burst, the sound of one drop landing on a leaf or a sill.
void addDroplet(Signal& s, std::size_t at, double amplitude, Noise& noise) {
  Biquad tone = Biquad::bandPass(noise.between(1800.0, 4200.0), 2.5);
  const double decay = noise.between(0.004, 0.012);
  const std::size_t n = frames(decay * 8.0);
  for (std::size_t i = 0; i < n && at + i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    s[at + i] += amplitude * std::exp(-t / decay) * tone(noise.white());
  }
}

Signal rain(Noise& noise) {
  Signal s(frames(5.0));
  Biquad low = Biquad::lowPass(2600.0, 0.7);
  Biquad high = Biquad::highPass(300.0, 0.7);
  // The hiss breathes a little, as a shower never falls quite evenly.
  for (std::size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double swell = 0.85 + 0.15 * std::sin(2.0 * kPi * 0.31 * t + 1.0);
    s[i] = swell * high(low(noise.white()));
  }
  normalize(s, 0.16);
  for (int d = 0; d < 14; ++d) {
    addDroplet(s, static_cast<std::size_t>(noise.uniform() * (s.size() - frames(0.1))),
               noise.between(0.05, 0.14), noise);
  }
  fadeEnds(s, 1.0);
  normalize(s, 0.3);
  return s;
}

Signal wind(Noise& noise) {
  Signal s(frames(7.0));
  Biquad band = Biquad::bandPass(500.0, 1.6);
  Biquad soft = Biquad::lowPass(1800.0, 0.7);
  const double duration = static_cast<double>(s.size()) / kRate;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    // The centre drifts between about 250 and 800 Hz on two slow,
    // unrelated cycles, so the whistle never repeats exactly.
    const double centre = 500.0 + 180.0 * std::sin(2.0 * kPi * 0.13 * t) +
                          100.0 * std::sin(2.0 * kPi * 0.37 * t + 2.0);
    if (i % 32 == 0) band.retuneBandPass(centre, 1.6);
    // One gust: it rises, wavers and dies away.
    const double gust =
        std::pow(std::sin(kPi * t / duration), 1.5) * (0.8 + 0.2 * std::sin(2.0 * kPi * 0.9 * t));
    s[i] = gust * soft(band(noise.white()));
  }
  normalize(s, 0.35);
  return s;
}

// A tubular chime: the partials of a free bar (1, 2.76, 5.40, 8.93 times the
// fundamental), slightly inharmonic, each dying away on its own time.
Signal chime(double fundamental) {
  struct Partial {
    double ratio, level, decay;
  };
  const Partial partials[] = {
      {1.0, 1.0, 1.3}, {2.76, 0.5, 0.8}, {5.40, 0.25, 0.45}, {8.93, 0.12, 0.25}};
  Signal s(frames(4.0));
  for (const Partial& p : partials) {
    const double hz = fundamental * p.ratio;
    if (hz > 0.45 * kRate) continue;
    for (std::size_t i = 0; i < s.size(); ++i) {
      const double t = static_cast<double>(i) / kRate;
      s[i] += p.level * std::exp(-t / p.decay) * std::sin(2.0 * kPi * hz * t);
    }
  }
  // A 3 ms strike instead of a click, and a short fade so the tail ends at 0.
  const std::size_t strike = frames(0.003);
  for (std::size_t i = 0; i < strike; ++i) s[i] *= static_cast<double>(i) / strike;
  const std::size_t tail = frames(0.3);
  for (std::size_t i = 0; i < tail; ++i) {
    s[s.size() - 1 - i] *= static_cast<double>(i) / tail;
  }
  normalize(s, 0.4);
  return s;
}

// Detuned pairs of sines beating slowly. Every frequency is a whole multiple
// of 1/8 Hz, so each sine completes whole cycles in the 8 seconds.
Signal drone() {
  struct Voice {
    double hz, level;
  };
  const Voice voices[] = {{110.0, 1.0},    {110.25, 0.9},  {165.0, 0.5},
                          {165.125, 0.45}, {220.125, 0.3}, {330.25, 0.12}};
  Signal s(frames(8.0));
  for (const Voice& v : voices) {
    for (std::size_t i = 0; i < s.size(); ++i) {
      const double t = static_cast<double>(i) / kRate;
      s[i] += v.level * std::sin(2.0 * kPi * v.hz * t);
    }
  }
  fadeEnds(s, 1.5);
  normalize(s, 0.3);
  return s;
}

// A small drop into still water: a sine that slides down in pitch and
// dies within a few tenths of a second.
Signal drop(double startHz, double endHz) {
  Signal s(frames(0.3));
  double phase = 0.0;
  const double glide = 0.06;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double hz = endHz + (startHz - endHz) * std::exp(-t / glide);
    phase += 2.0 * kPi * hz / kRate;
    const double attack = std::min(1.0, t / 0.002);
    s[i] = attack * std::exp(-t / 0.05) * std::sin(phase);
  }
  const std::size_t tail = frames(0.02);
  for (std::size_t i = 0; i < tail; ++i) {
    s[s.size() - 1 - i] *= static_cast<double>(i) / tail;
  }
  normalize(s, 0.35);
  return s;
}

bool writeWav(const std::string& path, const Signal& s, std::string& error) {
  std::vector<int16_t> samples;
  samples.reserve(s.size());
  for (double v : s) {
    const double clamped = std::max(-1.0, std::min(1.0, v));
    samples.push_back(static_cast<int16_t>(std::lround(clamped * 32767.0)));
  }
  return WavWriter::writeFile(path, kRate, 1, samples, error);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: demo_samples OUTPUT_DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  Noise noise(0x5eed0fa11ull);
  struct Named {
    const char* name;
    Signal signal;
  };
  // C major pentatonic from C5 for the chimes.
  const std::vector<Named> samples = {
      {"rain.wav", rain(noise)},           {"wind.wav", wind(noise)},
      {"chime-c.wav", chime(523.25)},      {"chime-d.wav", chime(587.33)},
      {"chime-e.wav", chime(659.26)},      {"chime-g.wav", chime(783.99)},
      {"chime-a.wav", chime(880.00)},      {"drone.wav", drone()},
      {"drop-1.wav", drop(1400.0, 700.0)}, {"drop-2.wav", drop(1050.0, 560.0)},
      {"drop-3.wav", drop(1800.0, 900.0)},
  };
  for (const Named& sample : samples) {
    const std::string path = dir + "/" + sample.name;
    std::string error;
    if (!writeWav(path, sample.signal, error)) {
      std::fprintf(stderr, "demo_samples: cannot write %s: %s\n", path.c_str(), error.c_str());
      return 1;
    }
  }
  return 0;
}
