// Position encodings: what the server picks from the client's offer, and positions converted
// both ways in that encoding, across characters outside the Basic Multilingual Plane (two UTF-16
// units each) and the Unicode operators (one unit each, three UTF-8 bytes).
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { Session, positionOf, range, withSession } from './client.mjs';

const offers = [
  { offered: ['utf-8', 'utf-32', 'utf-16'], chosen: 'utf-32' },
  { offered: ['utf-32'], chosen: 'utf-32' },
  { offered: ['utf-16', 'utf-32'], chosen: 'utf-32' },
  { offered: ['utf-16'], chosen: 'utf-16' },
  { offered: ['utf-8', 'utf-16'], chosen: 'utf-16' },
  { offered: [], chosen: 'utf-16' },
  { offered: undefined, chosen: 'utf-16' },
];

const uri = 'file:///tmp/encoding.tos';
const good = [
  'let s := "😀𝄞"; let total := 1;',
  'say s, "😀" ∈ << "a" >> ⋃ << "b" >>, total;',
  'say "😀𝄞", total + 1;',
  '',
].join('\n');
const broken = good.replace('+ 1;', '+ ;');

for (const { offered, chosen } of offers) {
  test(`offered ${JSON.stringify(offered)}, the server uses ${chosen}`, () =>
    withSession(Session, async (session) => {
      const capabilities = offered === undefined ? {} : { general: { positionEncodings: offered } };
      const { capabilities: server } = await session.initialize(capabilities);
      // An absent positionEncoding means utf-16.
      assert.equal(server.positionEncoding ?? 'utf-16', chosen);
      if (offered === undefined || offered.length === 0) {
        assert.ok(server.positionEncoding === undefined || server.positionEncoding === 'utf-16');
      }
      await checkPositions(session, chosen);
      assert.equal(await session.stop(), 0);
    }));
}

async function checkPositions(session, encoding) {
  const at = (text, needle, options = {}) => positionOf(text, needle, { encoding, ...options });
  await session.open(uri, good, 1);
  assert.deepEqual((await session.diagnostics(uri, (p) => p.version === 1)).diagnostics, []);

  // From client positions to the server's and back: the use of total after the operators.
  const use = at(good, 'total', { nth: 1, offset: 2 });
  const definition = await session.request('textDocument/definition',
    { textDocument: { uri }, position: use });
  const location = Array.isArray(definition) ? definition[0] : definition;
  const declaration = at(good, 'total');
  assert.deepEqual(location.range ?? location.targetSelectionRange,
    range(declaration.line, declaration.character, declaration.line,
      declaration.character + 5));
  const hover = await session.request('textDocument/hover',
    { textDocument: { uri }, position: use });
  assert.ok(hover, 'no hover');
  if (hover.range) assert.deepEqual(hover.range.start, at(good, 'total', { nth: 1 }));

  // Past the end of a line is clamped, not an error.
  await session.request('textDocument/hover',
    { textDocument: { uri }, position: { line: 1, character: 10000 } });

  // Edits placed in the same encoding: deleting the "1" after the emoji breaks the text, with
  // the error on the semicolon; two characters outside the plane before it move its UTF-16
  // column by 2. Typing the "1" again mends it.
  const one = at(good, '1;', { nth: 1 });
  await session.change(uri, 2,
    [{ range: range(one.line, one.character, one.line, one.character + 1), text: '' }]);
  const [error] = (await session.diagnostics(uri, (p) => p.version === 2)).diagnostics;
  const semicolon = at(broken, ';', { nth: 3 });
  assert.deepEqual(error.range.start, semicolon);
  const shift = encoding === 'utf-16' ? 2 : 0;
  assert.equal(semicolon.character,
    positionOf(broken, ';', { nth: 3, encoding: 'utf-32' }).character + shift);

  await session.change(uri, 3,
    [{ range: range(semicolon.line, semicolon.character, semicolon.line, semicolon.character),
      text: '1' }]);
  assert.deepEqual((await session.diagnostics(uri, (p) => p.version === 3)).diagnostics, []);
}
