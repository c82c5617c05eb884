// Requests that do not run to their end: cancelled by the client (-32800), or overtaken by an
// edit of their document (-32801). A large document keeps the analysis busy long enough for the
// cancellation or the edit to arrive while the request is pending.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { Codes, Session, generateProgram, rpc, withSession } from './client.mjs';

const uri = 'file:///tmp/large.tos';
const large = generateProgram(20000);
const symbolParams = { textDocument: { uri } };

async function errorCode(promise) {
  try {
    await promise;
  } catch (error) {
    assert.ok(error instanceof rpc.ResponseError, `not a response error: ${error}`);
    return error.code;
  }
  return 'answered';
}

test('a cancelled request gets -32800, and the next one an answer', () =>
  withSession(Session, async (session) => {
    await session.initialize();
    await session.open(uri, large, 1);
    const source = new rpc.CancellationTokenSource();
    const pending = session.request('textDocument/documentSymbol', symbolParams, source.token);
    source.cancel();
    assert.equal(await errorCode(pending), Codes.RequestCancelled);

    const symbols = await session.request('textDocument/documentSymbol', symbolParams);
    assert.ok(symbols.some((symbol) => symbol.name === 'total_0'));
    // Cancelling what was already answered, or an id never used, changes nothing.
    await session.notify('$/cancelRequest', { id: 1 });
    await session.notify('$/cancelRequest', { id: 'never sent' });
    const again = await session.request('textDocument/documentSymbol', symbolParams);
    assert.deepEqual(again, symbols);
    assert.equal(await session.stop(), 0);
  }));

test('a request overtaken by an edit of its document gets -32801', () =>
  withSession(Session, async (session) => {
    await session.initialize();
    await session.open(uri, large, 1);
    const pending = session.request('textDocument/documentSymbol', symbolParams);
    await session.change(uri, 2, [{ range: { start: { line: 0, character: 0 },
      end: { line: 0, character: 0 } }, text: '// a comment\n' }]);
    assert.equal(await errorCode(pending), Codes.ContentModified);

    // Once the edits stop, the same request is answered, for the new version.
    const symbols = await session.request('textDocument/documentSymbol', symbolParams);
    assert.ok(symbols.some((symbol) => symbol.name === 'total_0'));
    assert.equal(await session.stop(), 0);
  }));
