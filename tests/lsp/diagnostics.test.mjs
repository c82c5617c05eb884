// Published diagnostics: what each kind of error looks like, and that a burst of edits ends with
// the last version's diagnostics only, never an older version after a newer one.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { setTimeout as delay } from 'node:timers/promises';

import { Session, position, positionOf, range, withSession } from './client.mjs';

// The error kind as a name or as its number, whichever the server uses.
const kindCodes = { Lexical: 0, Syntax: 1, UnexpectedEnd: 2, Semantic: 3 };
function assertKind(code, kind) {
  assert.ok(code === kind || code === kindCodes[kind] || code === String(kindCodes[kind]),
    `code ${JSON.stringify(code)} is not ${kind}`);
}

function endOf(text) {
  const lines = text.split('\n');
  return position(lines.length - 1, lines.at(-1).length);
}

const errorCases = [
  { name: 'a syntax error covers the offending token', kind: 'Syntax',
    text: 'let a := 1;\nlet b := * 2;\n', at: '*', length: 1 },
  { name: 'a semantic error covers the quoted name', kind: 'Semantic',
    text: 'let a := 1;\nsay a + missing_name;\n', at: 'missing_name', length: 12 },
  { name: 'a semantic error after non-BMP text counts UTF-16 units', kind: 'Semantic',
    text: 'let a := "😀𝄞";\nsay a, "😀" ∈ a, missing_name;\n', at: 'missing_name', length: 12 },
  { name: 'a lexical error starts where the lexer stopped: the end of an unclosed string\'s line',
    kind: 'Lexical', text: 'let a := 1;\nlet b := "never closed;\n', at: 'closed;', offset: 7 },
  { name: 'a missing brace is reported at the end, with the open brace as related information',
    kind: 'UnexpectedEnd', text: 'function f() {\n    say 1;\n', atEnd: true, related: '{' },
];

test('each kind of error is published as an error diagnostic with its range', () =>
  withSession(Session, async (session) => {
    await session.initialize();
    for (const [index, example] of errorCases.entries()) {
      const uri = `file:///tmp/kind-${index}.tos`;
      await session.open(uri, example.text, 3);
      const params = await session.diagnostics(uri);
      assert.equal(params.version, 3, example.name);
      assert.equal(params.diagnostics.length, 1, example.name);
      const [diagnostic] = params.diagnostics;
      assert.equal(diagnostic.severity, 1, example.name);
      assert.equal(diagnostic.source, 'tolu', example.name);
      assertKind(diagnostic.code, example.kind);
      assert.notEqual(diagnostic.message, '', example.name);
      if (example.atEnd) {
        assert.deepEqual(diagnostic.range.start, endOf(example.text), example.name);
      } else {
        const start = positionOf(example.text, example.at, { offset: example.offset ?? 0 });
        assert.deepEqual(diagnostic.range.start, start, example.name);
        if (example.length !== undefined) {
          assert.deepEqual(diagnostic.range.end,
            position(start.line, start.character + example.length), example.name);
        }
      }
      if (example.related) {
        const related = diagnostic.relatedInformation ?? [];
        assert.ok(related.some((info) => info.location.uri === uri &&
          info.location.range.start.line === positionOf(example.text, example.related).line &&
          info.location.range.start.character ===
            positionOf(example.text, example.related).character),
        `${example.name}: ${JSON.stringify(related)}`);
      }
    }
    assert.equal(await session.stop(), 0);
  }));

// Applies one change to `text` as the server must, with UTF-16 positions.
function apply(text, change) {
  const lines = text.split('\n');
  const offset = ({ line, character }) =>
    lines.slice(0, line).reduce((sum, l) => sum + l.length + 1, 0) + character;
  return text.slice(0, offset(change.range.start)) + change.text +
    text.slice(offset(change.range.end));
}

// The n-th change of the burst: appends a line, inserts just after the open parenthesis, or
// rewrites the last line; each leaves the parenthesis open.
function burstChange(text, n) {
  const end = endOf(text);
  switch ((n - 2) % 3) {
    case 0:
      return { range: range(end.line, end.character, end.line, end.character),
        text: `\n    + first * ${n}` };
    case 1: {
      const at = positionOf(text, '(', { offset: 1 });
      return { range: range(at.line, at.character, at.line, at.character), text: `${n} * ` };
    }
    default:
      return { range: range(end.line, 0, end.line, end.character), text: `    - first / ${n}` };
  }
}

test('300 rapid edits publish only the last version, then nothing once fixed and closed', () =>
  withSession(Session, async (session) => {
    await session.initialize({ general: { positionEncodings: ['utf-16'] } });
    const uri = 'file:///tmp/burst.tos';
    let text = 'let first := 1; // ⋃ 😀\nlet total /* 😀𝄞 */ := (first';
    await session.open(uri, text, 1);
    const opened = await session.diagnostics(uri, (p) => p.version === 1);
    assert.equal(opened.diagnostics.length, 1);
    const afterOpen = session.publishes.length;

    const last = 301;
    const sends = [];
    for (let version = 2; version <= last; ++version) {
      const change = burstChange(text, version);
      text = apply(text, change);
      sends.push(session.change(uri, version, [change]));
    }
    await Promise.all(sends);
    const final = await session.diagnostics(uri, (p) => p.version === last);
    await delay(300);  // time for any late publish of an older version to show up
    const burst = session.publishes.slice(afterOpen).filter((p) => p.uri === uri);
    assert.deepEqual(burst.map((p) => p.version), [last]);
    assert.equal(final.diagnostics.length, 1);
    assertKind(final.diagnostics[0].code, 'UnexpectedEnd');
    assert.deepEqual(final.diagnostics[0].range.start, endOf(text));

    const end = endOf(text);
    await session.change(uri, last + 1,
      [{ range: range(end.line, end.character, end.line, end.character), text: ');\n' }]);
    const fixed = await session.diagnostics(uri, (p) => p.version === last + 1);
    assert.deepEqual(fixed.diagnostics, []);

    await session.close(uri);
    const count = session.publishes.length;
    const closed = await session.diagnostics(uri, (p) => session.publishes.indexOf(p) >= count);
    assert.deepEqual(closed.diagnostics, []);
    assert.equal(await session.stop(), 0);
  }));

test('versions only grow across documents edited in turn', () =>
  withSession(Session, async (session) => {
    await session.initialize();
    const uris = ['file:///tmp/a.tos', 'file:///tmp/b.tos'];
    for (const uri of uris) await session.open(uri, 'let x := 1;\n', 1);
    for (let version = 2; version <= 40; ++version) {
      for (const uri of uris) {
        const text = version % 2 ? 'let x := 1;\n' : `let x := (${version};\n`;
        await session.change(uri, version, [{ text }]);
      }
      if (version % 10 === 0) await delay(80);  // let some versions be published
    }
    for (const uri of uris) {
      await session.diagnostics(uri, (p) => p.version === 40);
      const versions = session.publishes.filter((p) => p.uri === uri).map((p) => p.version);
      assert.deepEqual(versions, [...versions].sort((a, b) => a - b), uri);
      assert.equal(new Set(versions).size, versions.length, `${uri}: ${versions}`);
    }
    assert.equal(await session.stop(), 0);
  }));
