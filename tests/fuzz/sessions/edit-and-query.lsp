Content-Length: 137

{"jsonrpc": "2.0", "id": 1, "method": "initialize", "params": {"capabilities": {"general": {"positionEncodings": ["utf-32", "utf-16"]}}}}Content-Length: 57

{"jsonrpc": "2.0", "method": "initialized", "params": {}}Content-Length: 638

{"jsonrpc": "2.0", "method": "textDocument/didOpen", "params": {"textDocument": {"uri": "file:///s.tos", "languageId": "tolu", "version": 1, "text": "#!/usr/bin/env tolu\n// A first Tolu script: values, functions and output.\n\nconst String greeting := \"Hello\";\nlet names := [\"Ada\", \"Grace\", \"Linus\"];\n\nfunction greet(String name, String punctuation := \"!\") -> String {\n    return `${greeting}, ${name}${punctuation}`;\n}\n\nfor (const name in names) {\n    say greet(name);\n}\n\nlet total := 0;\nfor (let n in [1, 2, 3, 4, 5]) {\n    next if n mod 2 == 0;\n    total += n * n;\n}\nsay \"sum of odd squares:\", total;\n"}}}Content-Length: 122

{"jsonrpc": "2.0", "id": 2, "method": "textDocument/documentSymbol", "params": {"textDocument": {"uri": "file:///s.tos"}}}Content-Length: 155

{"jsonrpc": "2.0", "id": 3, "method": "textDocument/hover", "params": {"textDocument": {"uri": "file:///s.tos"}, "position": {"line": 6, "character": 21}}}Content-Length: 161

{"jsonrpc": "2.0", "id": 4, "method": "textDocument/definition", "params": {"textDocument": {"uri": "file:///s.tos"}, "position": {"line": 11, "character": 15}}}Content-Length: 201

{"jsonrpc": "2.0", "id": 5, "method": "textDocument/references", "params": {"textDocument": {"uri": "file:///s.tos"}, "position": {"line": 3, "character": 14}, "context": {"includeDeclaration": true}}}Content-Length: 247

{"jsonrpc": "2.0", "method": "textDocument/didChange", "params": {"textDocument": {"uri": "file:///s.tos", "version": 2}, "contentChanges": [{"range": {"start": {"line": 3, "character": 0}, "end": {"line": 3, "character": 5}}, "text": "let ×"}]}}Content-Length: 167

{"jsonrpc": "2.0", "id": 6, "method": "textDocument/documentHighlight", "params": {"textDocument": {"uri": "file:///s.tos"}, "position": {"line": 7, "character": 15}}}Content-Length: 127

{"jsonrpc": "2.0", "id": 7, "method": "textDocument/semanticTokens/full", "params": {"textDocument": {"uri": "file:///s.tos"}}}Content-Length: 203

{"jsonrpc": "2.0", "id": 8, "method": "textDocument/inlayHint", "params": {"textDocument": {"uri": "file:///s.tos"}, "range": {"start": {"line": 0, "character": 0}, "end": {"line": 30, "character": 0}}}}Content-Length: 246

{"jsonrpc": "2.0", "method": "textDocument/didChange", "params": {"textDocument": {"uri": "file:///s.tos", "version": 3}, "contentChanges": [{"range": {"start": {"line": 3, "character": 0}, "end": {"line": 3, "character": 5}}, "text": "const"}]}}Content-Length: 162

{"jsonrpc": "2.0", "id": 9, "method": "textDocument/prepareRename", "params": {"textDocument": {"uri": "file:///s.tos"}, "position": {"line": 4, "character": 5}}}Content-Length: 177

{"jsonrpc": "2.0", "id": 10, "method": "textDocument/rename", "params": {"textDocument": {"uri": "file:///s.tos"}, "position": {"line": 4, "character": 5}, "newName": "people"}}Content-Length: 168

{"jsonrpc": "2.0", "id": 11, "method": "textDocument/selectionRange", "params": {"textDocument": {"uri": "file:///s.tos"}, "positions": [{"line": 7, "character": 12}]}}Content-Length: 121

{"jsonrpc": "2.0", "id": 12, "method": "textDocument/foldingRange", "params": {"textDocument": {"uri": "file:///s.tos"}}}Content-Length: 69

{"jsonrpc": "2.0", "method": "$/cancelRequest", "params": {"id": 12}}Content-Length: 107

{"jsonrpc": "2.0", "method": "textDocument/didClose", "params": {"textDocument": {"uri": "file:///s.tos"}}}Content-Length: 66

{"jsonrpc": "2.0", "id": 13, "method": "shutdown", "params": null}Content-Length: 52

{"jsonrpc": "2.0", "method": "exit", "params": null}