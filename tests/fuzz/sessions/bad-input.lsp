Content-Length: 154

{"jsonrpc": "2.0", "id": 1, "method": "textDocument/hover", "params": {"textDocument": {"uri": "file:///s.tos"}, "position": {"line": 0, "character": 0}}}Content-Length: 83

{"jsonrpc": "2.0", "id": 2, "method": "initialize", "params": {"capabilities": {}}}Content-Length: 12

{not json!!}Content-Type: x

Content-Length: 7

[1,2,3]Content-Length: 69

{"jsonrpc": "2.0", "id": 3, "method": "no/such/method", "params": {}}Content-Length: 55

{"jsonrpc": "2.0", "method": "$/unknown", "params": {}}Content-Length: 210

{"jsonrpc": "2.0", "method": "textDocument/didOpen", "params": {"textDocument": {"uri": "file:///s.tos", "languageId": "tolu", "version": 1, "text": "let x := (1 + 😀;\nfunction f(a) { return a ⋀ b; }\n"}}}Content-Length: 113

{"jsonrpc": "2.0", "id": 4, "method": "textDocument/hover", "params": {"textDocument": {"uri": "file:///s.tos"}}}Content-Length: 156

{"jsonrpc": "2.0", "id": 5, "method": "textDocument/hover", "params": {"textDocument": {"uri": "file:///s.tos"}, "position": {"line": 99, "character": 99}}}Content-Length: 245

{"jsonrpc": "2.0", "method": "textDocument/didChange", "params": {"textDocument": {"uri": "file:///s.tos", "version": 2}, "contentChanges": [{"range": {"start": {"line": 0, "character": 14}, "end": {"line": 0, "character": 16}}, "text": "2)"}]}}Content-Length: 160

{"jsonrpc": "2.0", "id": 6, "method": "textDocument/definition", "params": {"textDocument": {"uri": "file:///s.tos"}, "position": {"line": 1, "character": 23}}}Content-Length: 65

{"jsonrpc": "2.0", "id": 7, "method": "shutdown", "params": null}Content-Length: 154

{"jsonrpc": "2.0", "id": 8, "method": "textDocument/hover", "params": {"textDocument": {"uri": "file:///s.tos"}, "position": {"line": 0, "character": 0}}}