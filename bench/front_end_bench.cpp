// In-process benchmarks of each stage and of the whole default pipeline, on a generated corpus.
#include <benchmark/benchmark.h>

#include "corpus.h"
#include "infer/inferencer.h"
#include "lexer/lexer.h"
#include "optimizer/optimizer.h"
#include "optimizer/optimizer_internal.h"
#include "parser/parser.h"
#include "sema/validator.h"
#include "tolu/clone.h"
#include "tolu/front_end.h"

namespace {

const std::string& corpus() {
  static const std::string text = tolu::bench::generate_corpus(42, 1 << 20);
  return text;
}

// The 10 MB file of bench/run.sh, for the stages that must keep pace with parsing it.
const std::string& large_corpus() {
  static const std::string text = tolu::bench::generate_corpus(3, 10000000);
  return text;
}

// Many constants at the top level, each used inside a branch, a loop and a catch body: the
// shape that would cost a copy of every constant at every one of them.
const std::string& many_constants() {
  static const std::string text = [] {
    constexpr int kConstants = 20000;
    std::string out;
    for (int i = 0; i < kConstants; ++i) {
      const std::string n = std::to_string(i);
      out.append("let c").append(n).append(" := ").append(n).append(";\n");
    }
    for (int i = 0; i < kConstants; ++i) {
      const std::string n = std::to_string(i);
      out.append("if (x) { say c").append(n).append(" + 1; } while (x) { say c").append(n);
      out.append("; } try { f(c").append(n).append("); } catch (e) { say c").append(n);
      out.append("; }\n");
    }
    return out;
  }();
  return text;
}

tolu::ast::Program parsed(const std::string& text = corpus()) {
  return tolu::parse_program_text(text, std::nullopt).value();
}

void report_bytes(benchmark::State& state, const std::string& text = corpus()) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}

// The lexer as the parser drives it: one token at a time.
void BM_Lex(benchmark::State& state) {
  for (auto _ : state) {
    tolu::TokenStream stream(corpus());
    tolu::Token token;
    tolu::LiteralPayload literal;
    while (stream.next(token, literal) && token.kind != tolu::TokenKind::Eof) {
    }
    benchmark::DoNotOptimize(token);
  }
  report_bytes(state);
}

// All the tokens kept in one vector, as tolu-ast --tokens wants them.
void BM_LexToVector(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(tolu::lex(corpus()));
  report_bytes(state);
}

void BM_LexAndParse(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(tolu::parse_program_text(corpus(), std::nullopt));
  report_bytes(state);
}

// `stage` over a freshly parsed tree at each iteration; parsing and freeing are not timed.
template <class Stage>
void time_on_fresh_trees(benchmark::State& state, const std::string& text, Stage stage) {
  for (auto _ : state) {
    state.PauseTiming();
    tolu::ast::Program program = parsed(text);
    state.ResumeTiming();
    stage(program);
    state.PauseTiming();
    { const tolu::ast::Program done = std::move(program); }
    state.ResumeTiming();
  }
  report_bytes(state, text);
}

void BM_Validate(benchmark::State& state) {
  const tolu::ast::Program program = parsed();
  for (auto _ : state) benchmark::DoNotOptimize(tolu::validate_program(program));
  report_bytes(state);
}

void BM_Infer(benchmark::State& state) {
  tolu::ast::Program program = parsed();
  for (auto _ : state) tolu::annotate_program(program);
  report_bytes(state);
}

// The same two stages as the pipeline meets them: each on a tree the parser has just written,
// much of which has left the cache since (BM_Validate and BM_Infer walk one tree again and again).
void BM_ValidateAfterParse(benchmark::State& state) {
  time_on_fresh_trees(state, corpus(), [](const tolu::ast::Program& program) {
    benchmark::DoNotOptimize(tolu::validate_program(program));
  });
}

void BM_InferAfterParse(benchmark::State& state) {
  time_on_fresh_trees(state, corpus(), tolu::annotate_program);
}

void BM_Pipeline(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(tolu::parse_program(corpus()));
  report_bytes(state);
}

// The same, handing each run the storage of the tree before it, as a host that checks one
// program after another does (the checker's workers, the language server): the pipeline's own
// work, without the kernel's cost of fresh memory at every run that BM_Pipeline includes.
void BM_PipelineReusedStorage(benchmark::State& state) {
  std::unique_ptr<tolu::ast::Storage> storage;
  for (auto _ : state) {
    auto program = tolu::parse_program_with_compile_options_and_source_file(
        corpus(), tolu::CompileOptions{}, std::nullopt, &storage);
    benchmark::DoNotOptimize(program);
    storage = std::move(program.value().storage);
  }
  report_bytes(state);
}

// The whole pipeline with every optimizer pass: what the passes add to BM_Pipeline.
void BM_PipelineAllPasses(benchmark::State& state) {
  tolu::CompileOptions options;
  options.optimizations = tolu::PassSet::all();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        tolu::parse_program_with_compile_options_and_source_file(corpus(), options, std::nullopt));
  }
  report_bytes(state);
}

void BM_LexAndParse10MB(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(tolu::parse_program_text(large_corpus(), std::nullopt));
  }
  report_bytes(state, large_corpus());
}

void propagate(tolu::ast::Program& program) {
  tolu::optimizer::ConstantScopes scopes(program.storage->names.id_limit());
  tolu::optimizer::propagate_constants_statements(program.statements, scopes,
                                                  tolu::ast::Builder(*program.storage));
}

// Constant propagation alone.
void BM_Propagate10MB(benchmark::State& state) {
  time_on_fresh_trees(state, large_corpus(), propagate);
}

// The optimizer with ConstantFolding alone: a sweep, propagation and a second sweep.
void BM_OptimizeConstantFolding10MB(benchmark::State& state) {
  tolu::PassSet passes;
  passes.insert(tolu::OptimizerPass::ConstantFolding);
  time_on_fresh_trees(state, large_corpus(), [&](tolu::ast::Program& program) {
    tolu::optimize_program(program, passes);
  });
}

void BM_LexAndParseManyConstants(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(tolu::parse_program_text(many_constants(), std::nullopt));
  }
  report_bytes(state, many_constants());
}

void BM_PropagateManyConstants(benchmark::State& state) {
  time_on_fresh_trees(state, many_constants(), propagate);
}

// Every optimizer pass over a validated and inferred tree, on its own. Each round works on a
// fresh copy, since the passes rewrite the tree in place; the copy is not timed.
void BM_OptimizeAll(benchmark::State& state) {
  tolu::ast::Program program = parsed();
  tolu::annotate_program(program);
  const tolu::PassSet passes = tolu::PassSet::all();
  for (auto _ : state) {
    state.PauseTiming();
    tolu::ast::Program copy = tolu::ast::clone(program);
    state.ResumeTiming();
    tolu::optimize_program(copy, passes);
    benchmark::DoNotOptimize(copy);
  }
  report_bytes(state);
}

BENCHMARK(BM_Lex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LexToVector)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LexAndParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Validate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Infer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ValidateAfterParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InferAfterParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pipeline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PipelineReusedStorage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PipelineAllPasses)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LexAndParse10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Propagate10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OptimizeConstantFolding10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LexAndParseManyConstants)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PropagateManyConstants)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OptimizeAll)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
