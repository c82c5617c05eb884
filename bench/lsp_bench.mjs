// Latency and memory of tolu-lsp on generated 10,000-line files, through the same client as the
// tests. Prints a table; asserts nothing.
//   TOLU_LSP=build-bench/tolu-lsp TOLU_LSP_MODULES=DIR node bench/lsp_bench.mjs GENERATOR OUT_DIR
// GENERATOR is the generate_corpus binary; the files go to OUT_DIR.
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { performance } from 'node:perf_hooks';

import { Session, positionOf, range } from '../tests/lsp/client.mjs';

const [generator, out] = process.argv.slice(2);
const lines = 10000;
const openFiles = 20;
const samples = 100;

// A generated file of about `lines` lines: the generator counts bytes, so a first sample gives
// the bytes per line.
function generate(seed) {
  const file = path.join(out, `lsp-${seed}.tos`);
  const sample = path.join(out, 'lsp-sample.tos');
  execFileSync(generator, [String(seed), '100000', sample]);
  const text = readFileSync(sample, 'utf8');
  const bytesPerLine = Buffer.byteLength(text) / text.split('\n').length;
  execFileSync(generator, [String(seed), String(Math.round(lines * bytesPerLine)), file]);
  return { uri: `file://${path.resolve(file)}`, text: readFileSync(file, 'utf8') };
}

function percentile(values, p) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.min(sorted.length - 1, Math.floor((p / 100) * sorted.length))];
}

// Resident and peak memory of the server, in bytes.
function memory(pid) {
  const status = readFileSync(`/proc/${pid}/status`, 'utf8');
  const field = (name) => Number(status.match(new RegExp(`^${name}:\\s+(\\d+) kB`, 'm'))[1]) * 1024;
  return { rss: field('VmRSS'), hwm: field('VmHWM') };
}

// Positions of identifier uses spread over the file (names followed by '(', ';', ',' or ')').
function usePositions(text, count) {
  const found = [...text.matchAll(/[ (]([a-z]+_\d+)[(;,)]/g)];
  const step = Math.max(1, Math.floor(found.length / count));
  return found.filter((_, i) => i % step === 0).slice(0, count).map((match) => {
    const index = match.index + 1;
    const lineStart = text.lastIndexOf('\n', index - 1) + 1;
    return { line: countLines(text, lineStart), character: index - lineStart };
  });
}

function countLines(text, end) {
  let count = 0;
  for (let i = text.indexOf('\n'); i >= 0 && i < end; i = text.indexOf('\n', i + 1)) ++count;
  return count;
}

async function timed(body) {
  const start = performance.now();
  await body();
  return performance.now() - start;
}

async function latencies(session, doc) {
  const { uri } = doc;
  await session.open(uri, doc.text, 1);
  await session.diagnostics(uri, (p) => p.version === 1, 60000);

  // Three keystrokes in a burst at the start of a line in the middle of the file, timed from
  // the last of them to the diagnostics of its version: three '(' (an error), then their
  // deletion one by one (the text is good again), in turn.
  const middle = positionOf(doc.text, '\n', { nth: Math.floor(lines / 2), offset: 1 });
  const diagnostics = [];
  let version = 1;
  for (let i = 0; i < samples; ++i) {
    const insert = i % 2 === 0;
    let start;
    for (let k = 0; k < 3; ++k) {
      start = performance.now();
      await session.change(uri, ++version, [{
        range: range(middle.line, 0, middle.line, insert ? 0 : 1), text: insert ? '(' : '' }]);
    }
    const mine = version;
    await session.diagnostics(uri, (p) => p.version === mine, 60000);
    diagnostics.push(performance.now() - start);
  }

  const positions = usePositions(doc.text, samples);
  const requests = { hover: [], definition: [], documentSymbol: [] };
  for (const position of positions) {
    const params = { textDocument: { uri }, position };
    requests.hover.push(await timed(() => session.request('textDocument/hover', params)));
    requests.definition.push(
      await timed(() => session.request('textDocument/definition', params)));
  }
  // The outline of such a file is a reply of about 800 KB: besides the time until the client
  // library hands over the parsed result, the time until its last byte arrived, which is the
  // server's part (the client parses it after that).
  let lastChunk = 0;
  session.server.child.stdout.prependListener('data', () => { lastChunk = performance.now(); });
  const received = [];
  for (let i = 0; i < samples; ++i) {
    const start = performance.now();
    requests.documentSymbol.push(await timed(() =>
      session.request('textDocument/documentSymbol', { textDocument: { uri } })));
    received.push(lastChunk - start);
  }
  await session.close(uri);
  return {
    'change to diagnostics': diagnostics, ...requests, '  its reply received': received,
  };
}

async function main() {
  const docs = Array.from({ length: openFiles }, (_, i) => generate(101 + i));
  const session = new Session();
  try {
    await session.initialize({ general: { positionEncodings: ['utf-16'] } });
    const pid = session.server.child.pid;
    const results = await latencies(session, docs[0]);
    const idle = memory(pid);
    await Promise.all(docs.map((doc) => session.open(doc.uri, doc.text, 1)));
    for (const doc of docs) await session.diagnostics(doc.uri, (p) => p.version === 1, 120000);
    const loaded = memory(pid);
    const sourceBytes = docs.reduce((sum, doc) => sum + Buffer.byteLength(doc.text), 0);
    await session.stop();

    const lineCount = docs[0].text.split('\n').length;
    console.log(`tolu-lsp, one file of ${lineCount} lines`.padEnd(34) +
      'p50 ms'.padStart(10) + 'p95 ms'.padStart(10) + 'samples'.padStart(10));
    for (const [name, values] of Object.entries(results)) {
      console.log(`  ${name}`.padEnd(34) + percentile(values, 50).toFixed(1).padStart(10) +
        percentile(values, 95).toFixed(1).padStart(10) + String(values.length).padStart(10));
    }
    const mb = (bytes) => (bytes / 1e6).toFixed(1);
    console.log(`tolu-lsp, ${openFiles} files open (${mb(sourceBytes)} MB)`.padEnd(34) +
      'VmRSS MB'.padStart(10) + 'VmHWM MB'.padStart(10) + 'bytes/byte'.padStart(12));
    console.log('  before opening them'.padEnd(34) + mb(idle.rss).padStart(10) +
      mb(idle.hwm).padStart(10));
    console.log('  with all of them analysed'.padEnd(34) + mb(loaded.rss).padStart(10) +
      mb(loaded.hwm).padStart(10) +
      ((loaded.rss - idle.rss) / sourceBytes).toFixed(1).padStart(12));
  } finally {
    session.dispose();
  }
}

await main();
