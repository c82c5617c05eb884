// In-process benchmarks of each stage and of the whole default pipeline, on a generated corpus.
#include <benchmark/benchmark.h>

#include "corpus.h"
#include "infer/inferencer.h"
#include "lexer/lexer.h"
#include "optimizer/optimizer.h"
#include "parser/parser.h"
#include "sema/validator.h"
#include "tolu/clone.h"
#include "tolu/front_end.h"

namespace {

const std::string& corpus() {
  static const std::string text = tolu::bench::generate_corpus(42, 1 << 20);
  return text;
}

tolu::ast::Program parsed() {
  return tolu::parse_program_text(corpus(), std::nullopt).value();
}

void report_bytes(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(corpus().size()));
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

void BM_Pipeline(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(tolu::parse_program(corpus()));
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
BENCHMARK(BM_Pipeline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PipelineAllPasses)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OptimizeAll)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
