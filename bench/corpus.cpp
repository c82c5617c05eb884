#include "corpus.h"

#include <array>
#include <functional>
#include <string_view>

namespace tolu::bench {
namespace {

// A small linear congruential generator: deterministic on every platform.
class Random {
 public:
  explicit Random(std::uint64_t seed)
      : state_(seed * 6364136223846793005ULL + 1442695040888963407ULL) {}
  std::uint32_t next(std::uint32_t bound) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>((state_ >> 33) % bound);
  }

 private:
  std::uint64_t state_;
};

// Replaces every "$N" in `text` with the unit number and "$V" with a small number.
std::string fill(std::string_view text, std::size_t unit, Random& random) {
  std::string out;
  out.reserve(text.size() + 64);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '$' && i + 1 < text.size() && (text[i + 1] == 'N' || text[i + 1] == 'V')) {
      out += text[i + 1] == 'N' ? std::to_string(unit) : std::to_string(random.next(100));
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

constexpr std::array<std::string_view, 8> kUnits = {
    R"(// Totals with loops and conditionals.
function total_$N(Array items, Number limit := $V) -> Number {
    let sum := 0;
    for (const item in items) {
        if (item > limit) {
            next;
        } else if (item == 0) {
            last;
        }
        sum += item * 2 + $V;
    }
    return sum;
}
say total_$N([1, 2, $V, 40], $V);

)",
    R"(/* A shape with a trait, fields and methods. */
trait Named_$N {
    method label() -> String {
        return `shape ${self.name} at ${self.x}, ${self.y}`;
    }
}

class Point_$N with Named_$N {
    let Number x := $V;
    let Number y := 0;
    const String name with get := "p$N";

    method move(dx, dy) {
        self{x} := self{x} + dx;
        self{y} := self{y} + dy;
        return self;
    }

    static method origin() -> Point_$N {
        return new Point_$N(x: 0, y: 0);
    }
}
let point_$N := Point_$N.origin();
say point_$N.move(1, $V).label();

)",
    R"(// Pipelines and collections.
let data_$N := [5, 3, $V, 1, 9, 2];
let doubled_$N := data_$N |> [^^, ^^ * 2];
let set_$N := << 1, 2, $V >> ⋃ << 4 >>;
let bag_$N := <<< "a", "b", "a" >>>;
let dict_$N := { name: "unit $N", size: $V, "key": [1, 2] };
let pairs_$N := {{ first: 1, second: $V }};
let {name: name_$N, size: Number count_$N} := dict_$N;
say name_$N, count_$N, length doubled_$N, set_$N ∈ bag_$N;

)",
    R"(// Switch with a comparator, and errors.
function classify_$N(value) -> String {
    switch (value : eq) {
        case 1, 2: return "small";
        case $V: return "medium";
        default: return "large";
    }
}
try {
    say classify_$N($V);
    throw "unexpected" if classify_$N(0) eq "none";
} catch (Exception error) {
    warn "failed:", error;
}

)",
    R"(// Templates, strings and regular expressions.
const greeting_$N := "Hello";
let message_$N := `${greeting_$N}, world number ${$V + 2}!`;
say message_$N if message_$N ~ /world\s+number/i;
let text_$N := """a longer text
that spans lines""";
let bytes_$N := 'raw\x41';
print uc text_$N _ " " _ lc greeting_$N;

)",
    R"(// Async work.
async function fetch_$N(url) {
    let body := await { url _ "/data/$V"; };
    return body;
}
let task_$N := spawn { fetch_$N("https://example.test/$N"); };
let ready_$N := await { task_$N; };

)",
    R"(// Counting with while and lambdas.
let counter_$N := 0;
let step_$N := fn (Number n) -> n + $V;
while (counter_$N < 10) {
    counter_$N := step_$N(counter_$N);
    last unless counter_$N > 0;
}
let check_$N := -> ^^ ≥ $V ? "big" : "small";
say counter_$N, check_$N(counter_$N), ⌊ counter_$N / 3 ⌋;

)",
    R"(// Data records with destructuring defaults.
let record_$N := { id: $N, tags: ["a", "b"], owner: { first: "Ada", last: "L" } };
let {id: record_id_$N, tags: tags_$N := [], owner: owner_$N} := record_$N;
for (let tag in tags_$N) {
    say `${record_id_$N}: ${tag}`;
}
let first_$N := owner_$N{first} ?: "nobody";
let slice_$N := tags_$N[0:1];

)"};

}  // namespace

std::string generate_corpus(std::uint64_t seed, std::size_t bytes) {
  Random random(seed);
  std::string out;
  out.reserve(bytes + 1024);
  for (std::size_t unit = 0; out.size() < bytes; ++unit) {
    out += fill(kUnits[random.next(static_cast<std::uint32_t>(kUnits.size()))], unit, random);
  }
  return out;
}

}  // namespace tolu::bench
