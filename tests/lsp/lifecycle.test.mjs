// The server's life: the order of initialize, shutdown and exit, the exit status, the end of
// input, and answers to input that is not a well-formed request.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { test } from 'node:test';
import { setTimeout as delay } from 'node:timers/promises';

import { Codes, RawSession, Session, rpc, serverPath, withSession } from './client.mjs';

const uri = 'file:///tmp/lifecycle.tos';
const hoverParams = { textDocument: { uri }, position: { line: 0, character: 4 } };

async function rejection(promise) {
  try {
    await promise;
  } catch (error) {
    assert.ok(error instanceof rpc.ResponseError, `not a response error: ${error}`);
    return error;
  }
  assert.fail('the request succeeded');
}

test('--help and --version print to standard output and succeed', () => {
  for (const flag of ['--help', '--version']) {
    const run = spawnSync(serverPath, [flag], { encoding: 'utf8', timeout: 10000 });
    assert.equal(run.status, 0, `${flag}: ${run.stderr}`);
    assert.notEqual(run.stdout.trim(), '', flag);
  }
});

test('a request before initialize gets -32002, and initialize still works after it', () =>
  withSession(Session, async (session) => {
    const error = await rejection(session.request('textDocument/hover', hoverParams));
    assert.equal(error.code, Codes.ServerNotInitialized);
    // Notifications before initialize are dropped, not answered.
    await session.open(uri, 'let a := 1;\n');
    const result = await session.initialize();
    assert.equal(typeof result.capabilities, 'object');
    assert.equal(await session.stop(), 0);
  }));

test('a request after shutdown gets -32600', () =>
  withSession(Session, async (session) => {
    await session.initialize();
    await session.open(uri, 'let a := 1;\n');
    assert.equal(await session.request('shutdown'), null);
    const error = await rejection(session.request('textDocument/hover', hoverParams));
    assert.equal(error.code, Codes.InvalidRequest);
    await session.notify('exit');
    assert.equal(await session.server.exitCode(), 0);
  }));

// How each session ends, and the exit status it must give.
const endings = [
  { name: 'exit after shutdown', initialize: true, shutdown: true, end: 'exit', status: 0 },
  { name: 'exit without shutdown', initialize: true, shutdown: false, end: 'exit', status: 1 },
  { name: 'exit before initialize', initialize: false, shutdown: false, end: 'exit', status: 1 },
  { name: 'end of input after shutdown', initialize: true, shutdown: true, end: 'eof', status: 0 },
  { name: 'end of input without shutdown', initialize: true, shutdown: false, end: 'eof',
    status: 1 },
  { name: 'end of input before initialize', initialize: false, shutdown: false, end: 'eof',
    status: 1 },
];

for (const ending of endings) {
  test(`${ending.name} ends the process with status ${ending.status}`, () =>
    withSession(Session, async (session) => {
      if (ending.initialize) {
        await session.initialize();
        await session.open(uri, 'let a := (1;\n');
      }
      if (ending.shutdown) await session.request('shutdown');
      if (ending.end === 'exit') {
        await session.notify('exit');
      } else {
        session.server.child.stdin.end();
      }
      assert.equal(await session.server.exitCode(), ending.status);
    }));
}

// Bodies that are not well-formed requests, each followed by a request that must still be
// answered. `error` is the code of the one error response expected before that answer (none
// when absent), and `id` the id it must carry.
const badInput = [
  { name: 'malformed JSON', bytes: RawSession.frame('{"jsonrpc": "2.0", "id": 1, "method": '),
    error: Codes.ParseError, id: null },
  { name: 'a number', bytes: RawSession.frame('42'), error: Codes.InvalidRequest, id: null },
  { name: 'an array', bytes: RawSession.frame('[]'), error: Codes.InvalidRequest, id: null },
  { name: 'an object with neither method nor id',
    bytes: RawSession.frame({ jsonrpc: '2.0', params: {} }), error: Codes.InvalidRequest,
    id: null },
  { name: 'an unknown method',
    bytes: RawSession.frame({ jsonrpc: '2.0', id: 7, method: 'tolu/noSuchMethod', params: {} }),
    error: Codes.MethodNotFound, id: 7 },
  { name: 'an unknown $/ notification',
    bytes: RawSession.frame({ jsonrpc: '2.0', method: '$/noSuchNotification', params: {} }) },
  { name: 'hover without a position',
    bytes: RawSession.frame({ jsonrpc: '2.0', id: 'h', method: 'textDocument/hover',
      params: { textDocument: { uri } } }),
    error: Codes.InvalidParams, id: 'h' },
  { name: 'didChange with a string for contentChanges',
    bytes: RawSession.frame({ jsonrpc: '2.0', method: 'textDocument/didChange',
      params: { textDocument: { uri, version: 9 }, contentChanges: 'x' } }) },
  { name: 'a header without a number', bytes: 'Content-Length: many\r\n\r\n' },
  { name: 'a header block without Content-Length', bytes: 'Content-Type: text/plain\r\n\r\n' },
  { name: 'a frame split across writes, with a header other than Content-Length',
    chunks: split(`Content-Type: application/vscode-jsonrpc; charset=utf-8\r\n${RawSession.frame(
      { jsonrpc: '2.0', id: 's', method: 'tolu/noSuchMethod', params: {} })}`, [11, 70, 90]),
    error: Codes.MethodNotFound, id: 's' },
];

function split(text, cuts) {
  return [0, ...cuts].map((start, i) => text.slice(start, cuts[i]));
}

test('bad input gets the error it deserves, and the server goes on', () =>
  withSession(RawSession, async (session) => {
    const init = await session.initialize();
    assert.equal(init.error, undefined);
    await session.send({ jsonrpc: '2.0', method: 'textDocument/didOpen',
      params: { textDocument: { uri, languageId: 'tolu', version: 1, text: 'let a := 1;\n' } } });
    let seen = session.messages.length;
    for (const [index, input] of badInput.entries()) {
      for (const chunk of input.chunks ?? [input.bytes]) {
        await session.write(chunk);
        if (input.chunks) await delay(20);  // so that the server reads the pieces apart
      }
      const ping = `ping-${index}`;
      await session.send({ jsonrpc: '2.0', id: ping, method: 'textDocument/hover',
        params: hoverParams });
      await session.response(ping);
      const responses = session.messages.slice(seen).filter((m) => !('method' in m));
      seen = session.messages.length;
      const errors = responses.filter((m) => m.id !== ping);
      const expected = input.error === undefined ? [] : [{ code: input.error, id: input.id }];
      assert.deepEqual(errors.map((m) => ({ code: m.error?.code, id: m.id })), expected,
        input.name);
      const answer = responses.find((m) => m.id === ping);
      assert.equal(answer.error, undefined, `${input.name}: the next request failed`);
    }
    await session.send({ jsonrpc: '2.0', id: 'bye', method: 'shutdown' });
    await session.response('bye');
    await session.send({ jsonrpc: '2.0', method: 'exit' });
    assert.equal(await session.server.exitCode(), 0);
  }));
