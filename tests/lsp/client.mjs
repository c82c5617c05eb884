// Drives tolu-lsp over its standard input and output, with the protocol package's own connection
// (Session) or with hand-made frames (RawSession) for input no client would send.
//
// TOLU_LSP names the server binary (default build/tolu-lsp). TOLU_LSP_MODULES names a folder whose
// node_modules holds the pinned packages, when they are not installed beside these files.
import { spawn } from 'node:child_process';
import { once } from 'node:events';
import { createRequire } from 'node:module';
import path from 'node:path';

const modules = process.env.TOLU_LSP_MODULES;
const require = createRequire(
  modules ? path.join(path.resolve(modules), 'package.json') : import.meta.url);
export const rpc = require('vscode-languageserver-protocol/node');

export const serverPath = path.resolve(process.env.TOLU_LSP ?? 'build/tolu-lsp');

export const Codes = {
  ParseError: -32700,
  InvalidRequest: -32600,
  MethodNotFound: -32601,
  InvalidParams: -32602,
  ServerNotInitialized: -32002,
  RequestCancelled: -32800,
  ContentModified: -32801,
};

// Resolves with the first item of `items` (now or later) that satisfies `test`; `subscribe`
// registers a callback run after each new item. Rejects after `ms` milliseconds.
function waitFor(items, subscribe, test, ms, what) {
  const found = items.find(test);
  if (found !== undefined) return Promise.resolve(found);
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => {
      unsubscribe();
      reject(new Error(`timed out after ${ms} ms waiting for ${what}`));
    }, ms);
    const unsubscribe = subscribe((item) => {
      if (!test(item)) return;
      clearTimeout(timer);
      unsubscribe();
      resolve(item);
    });
  });
}

class Listeners {
  #callbacks = new Set();
  subscribe = (callback) => {
    this.#callbacks.add(callback);
    return () => this.#callbacks.delete(callback);
  };
  emit(item) {
    for (const callback of [...this.#callbacks]) callback(item);
  }
}

// The server as a child process: its exit, and the tail of what it logged.
class Server {
  constructor(args = []) {
    this.child = spawn(serverPath, args, { stdio: ['pipe', 'pipe', 'pipe'] });
    this.log = '';
    this.child.stderr.setEncoding('utf8');
    this.child.stderr.on('data', (text) => {
      this.log = (this.log + text).slice(-20000);
    });
    // Writes after the server has gone fail with EPIPE; the tests look at the exit instead.
    this.child.stdin.on('error', () => {});
    this.exited = new Promise((resolve) => {
      this.child.on('exit', (code, signal) => resolve({ code, signal }));
    });
  }

  // The exit status, or a rejection if the server is still running after `ms` milliseconds.
  async exitCode(ms = 5000) {
    let timer;
    const timeout = new Promise((_, reject) => {
      timer = setTimeout(() => reject(new Error(`server still running after ${ms} ms`)), ms);
    });
    try {
      const { code, signal } = await Promise.race([this.exited, timeout]);
      if (signal) throw new Error(`server killed by ${signal}\n${this.log}`);
      return code;
    } finally {
      clearTimeout(timer);
    }
  }

  kill() {
    if (this.child.exitCode === null && this.child.signalCode === null) this.child.kill('SIGKILL');
  }
}

// A client session over the protocol package's connection.
export class Session {
  constructor() {
    this.server = new Server();
    this.connection = rpc.createProtocolConnection(
      new rpc.StreamMessageReader(this.server.child.stdout),
      new rpc.StreamMessageWriter(this.server.child.stdin));
    this.publishes = [];  // every publishDiagnostics, in arrival order
    this.published = new Listeners();
    this.connection.onNotification('textDocument/publishDiagnostics', (params) => {
      this.publishes.push(params);
      this.published.emit(params);
    });
    this.connection.onError(() => {});
    this.connection.listen();
  }

  // The connection takes every argument after the method for a parameter, save a trailing
  // cancellation token: pass only those given.
  request(method, params, token) {
    const rest = [params, token].filter((argument) => argument !== undefined);
    return this.connection.sendRequest(method, ...rest);
  }

  notify(method, params) {
    const rest = params === undefined ? [] : [params];
    return this.connection.sendNotification(method, ...rest);
  }

  async initialize(capabilities = {}) {
    const result = await this.request('initialize', {
      processId: process.pid,
      clientInfo: { name: 'tolu-lsp tests' },
      rootUri: null,
      capabilities,
    });
    await this.notify('initialized', {});
    return result;
  }

  open(uri, text, version = 1) {
    return this.notify('textDocument/didOpen', {
      textDocument: { uri, languageId: 'tolu', version, text },
    });
  }

  change(uri, version, contentChanges) {
    return this.notify('textDocument/didChange',
      { textDocument: { uri, version }, contentChanges });
  }

  close(uri) {
    return this.notify('textDocument/didClose', { textDocument: { uri } });
  }

  // The first publish for `uri` (already received or to come) that satisfies `test`.
  diagnostics(uri, test = () => true, ms = 10000) {
    return waitFor(this.publishes, this.published.subscribe,
      (params) => params.uri === uri && test(params), ms, `diagnostics for ${uri}`);
  }

  // Sends shutdown and exit, and returns the exit status.
  async stop() {
    await this.request('shutdown');
    await this.notify('exit');
    return this.server.exitCode();
  }

  dispose() {
    this.connection.dispose();
    this.server.kill();
  }
}

// A session that writes bytes of its own making and reads the server's messages.
export class RawSession {
  constructor() {
    this.server = new Server();
    this.messages = [];
    this.received = new Listeners();
    this.reader = new rpc.StreamMessageReader(this.server.child.stdout);
    this.reader.onError(() => {});
    this.reader.listen((message) => {
      this.messages.push(message);
      this.received.emit(message);
    });
  }

  static frame(body) {
    const text = typeof body === 'string' ? body : JSON.stringify(body);
    return `Content-Length: ${Buffer.byteLength(text)}\r\n\r\n${text}`;
  }

  async write(bytes) {
    if (!this.server.child.stdin.write(bytes)) await once(this.server.child.stdin, 'drain');
  }

  send(...bodies) {
    return this.write(bodies.map((body) => RawSession.frame(body)).join(''));
  }

  // The first message (already received or to come) that satisfies `test`.
  message(test, ms = 10000) {
    return waitFor(this.messages, this.received.subscribe, test, ms, 'a message');
  }

  response(id, ms) {
    return this.message((m) => 'id' in m && m.id === id && !('method' in m), ms);
  }

  async initialize(capabilities = {}) {
    await this.send({ jsonrpc: '2.0', id: 'init', method: 'initialize',
      params: { processId: null, rootUri: null, capabilities } });
    const response = await this.response('init');
    await this.send({ jsonrpc: '2.0', method: 'initialized', params: {} });
    return response;
  }

  dispose() {
    this.reader.dispose();
    this.server.kill();
  }
}

// Runs `body` with a fresh session and always disposes it.
export async function withSession(Kind, body) {
  const session = new Kind();
  try {
    return await body(session);
  } catch (error) {
    if (session.server.log) error.message += `\n--- server log ---\n${session.server.log}`;
    throw error;
  } finally {
    session.dispose();
  }
}

export const position = (line, character) => ({ line, character });
export const range = (startLine, startCharacter, endLine, endCharacter) => ({
  start: position(startLine, startCharacter),
  end: position(endLine, endCharacter),
});

// The position of the `nth` (0-based) occurrence of `needle` in `text`, plus `offset` characters,
// with columns counted in UTF-16 code units or in Unicode scalar values.
export function positionOf(text, needle, { nth = 0, offset = 0, encoding = 'utf-16' } = {}) {
  let index = -1;
  for (let i = 0; i <= nth; ++i) {
    index = text.indexOf(needle, index + 1);
    if (index < 0) throw new Error(`"${needle}" occurs fewer than ${nth + 1} times`);
  }
  index += offset;
  const before = text.slice(0, index);
  const line = before.split('\n').length - 1;
  const lineText = before.slice(before.lastIndexOf('\n') + 1);
  const character = encoding === 'utf-32' ? [...lineText].length : lineText.length;
  return position(line, character);
}

// Valid Tolu of about `lines` lines: units that each declare names with their own suffix.
export function generateProgram(lines) {
  const units = [];
  for (let n = 0; units.length * 8 < lines; ++n) {
    units.push(`function total_${n}(Number a, Number b) -> Number {
    let sum := a + b;
    for (const item in [1, 2, 3]) {
        sum += item * a;
    }
    return sum;
}
say total_${n}(${n}, 2);
`);
  }
  return units.join('');
}
