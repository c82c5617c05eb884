// A first look at the language features through a real client: hover, definition, references,
// symbols and rename on a small script, and answers from the last good analysis while the text
// has an error.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { Session, positionOf, range, rpc, withSession } from './client.mjs';

const uri = 'file:///tmp/features.tos';
const text = [
  'function double(Number n) -> Number {',
  '    return n * 2;',
  '}',
  'let total := double(21);',
  'const limit := 10;',
  'say total + limit;',
  '',
].join('\n');

const doc = { textDocument: { uri } };
const at = (needle, nth = 0) => ({ ...doc, position: positionOf(text, needle, { nth }) });
const spanOf = (source, needle, nth = 0) => {
  const start = positionOf(source, needle, { nth });
  return range(start.line, start.character, start.line, start.character + needle.length);
};
const sortRanges = (ranges) => [...ranges].sort((a, b) =>
  a.start.line - b.start.line || a.start.character - b.start.character);

// Applies non-overlapping single-line edits to `source`.
function applyEdits(source, edits) {
  const lines = source.split('\n');
  for (const edit of sortRanges(edits.map((e) => e.range)).reverse()) {
    const { newText } = edits.find((e) => e.range === edit);
    const line = lines[edit.start.line];
    lines[edit.start.line] = line.slice(0, edit.start.character) + newText +
      line.slice(edit.end.character);
  }
  return lines.join('\n');
}

async function rejected(promise) {
  try {
    return (await promise) === null;
  } catch (error) {
    return error instanceof rpc.ResponseError;
  }
}

test('hover, definition, references, symbols and rename answer on a good text', () =>
  withSession(Session, async (session) => {
    const { capabilities } = await session.initialize();
    for (const provider of ['hoverProvider', 'definitionProvider', 'referencesProvider',
      'documentSymbolProvider', 'renameProvider']) {
      assert.ok(capabilities[provider], `${provider} not announced`);
    }
    await session.open(uri, text, 1);
    assert.deepEqual((await session.diagnostics(uri)).diagnostics, []);

    const hover = await session.request('textDocument/hover', at('total', 1));
    assert.equal(hover.contents.kind, 'markdown');
    assert.match(hover.contents.value, /\blet\b/);
    assert.match(hover.contents.value, /Number/);
    const constant = await session.request('textDocument/hover', at('limit', 1));
    assert.match(constant.contents.value, /\bconst\b/);

    const definition = await session.request('textDocument/definition', at('double', 1));
    const location = Array.isArray(definition) ? definition[0] : definition;
    assert.equal(location.uri, uri);
    assert.deepEqual(location.range, spanOf(text, 'double'));

    const references = await session.request('textDocument/references',
      { ...at('total'), context: { includeDeclaration: true } });
    assert.deepEqual(sortRanges(references.map((r) => r.range)),
      [spanOf(text, 'total'), spanOf(text, 'total', 1)]);

    const symbols = await session.request('textDocument/documentSymbol', doc);
    const names = symbols.map((symbol) => symbol.name);
    for (const name of ['double', 'total', 'limit']) assert.ok(names.includes(name), name);

    const prepared = await session.request('textDocument/prepareRename', at('total', 1));
    assert.deepEqual(prepared.range ?? prepared, spanOf(text, 'total', 1));
    const edit = await session.request('textDocument/rename',
      { ...at('total', 1), newName: 'sum' });
    const edits = edit.changes?.[uri] ??
      edit.documentChanges.find((change) => change.textDocument.uri === uri).edits;
    assert.equal(applyEdits(text, edits), text.replaceAll('total', 'sum'));

    for (const newName of ['let', '^^', '1st', 'not a name']) {
      assert.ok(await rejected(session.request('textDocument/rename', { ...at('total'), newName })),
        `rename to ${JSON.stringify(newName)} was accepted`);
    }
    assert.ok(await rejected(session.request('textDocument/prepareRename', at('let'))),
      'the keyword let can be renamed');
    assert.equal(await session.stop(), 0);
  }));

test('while the text has an error, features answer from the last good analysis', () =>
  withSession(Session, async (session) => {
    await session.initialize();
    await session.open(uri, text, 1);
    await session.diagnostics(uri, (p) => p.version === 1);
    // A line inserted above everything, and an error at the end.
    await session.change(uri, 2, [{ range: range(0, 0, 0, 0), text: '// a note\n' }]);
    const end = positionOf(text, 'limit;', { offset: 5 });
    await session.change(uri, 3,
      [{ range: range(end.line + 1, end.character, end.line + 1, end.character), text: ' +' }]);
    const broken = await session.diagnostics(uri, (p) => p.version === 3);
    assert.equal(broken.diagnostics.length, 1);

    const moved = `// a note\n${text}`;
    const definition = await session.request('textDocument/definition',
      { ...doc, position: positionOf(moved, 'double', { nth: 1 }) });
    const location = Array.isArray(definition) ? definition[0] : definition;
    assert.deepEqual(location.range, spanOf(moved, 'double'));
    const hover = await session.request('textDocument/hover',
      { ...doc, position: positionOf(moved, 'total', { nth: 1 }) });
    assert.match(hover.contents.value, /Number/);
    assert.equal(await session.stop(), 0);
  }));
