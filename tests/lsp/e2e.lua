-- Neovim's built-in client against tolu-lsp: opens a script with an error, waits for the
-- diagnostic, fixes the text, hovers, renames, and stops the server. Exits 0 when all of it
-- works and non-zero otherwise; a watchdog ends the run if anything hangs.
--
--   TOLU_LSP=build/tolu-lsp nvim --headless -u NONE -i NONE -n -c 'luafile tests/lsp/e2e.lua'
--
-- Uses only the client API of Neovim 0.7 (start_client, buf_attach_client, request_sync).
local server = vim.fn.fnamemodify(os.getenv('TOLU_LSP') or 'build/tolu-lsp', ':p')
local step_ms = 10000

local watchdog = vim.loop.new_timer()
watchdog:start(60000, 0, function()
  io.stderr:write('e2e.lua: timed out\n')
  os.exit(2)
end)

local function check(condition, message)
  if not condition then error(message, 2) end
end

local function wait_until(what, condition)
  check(vim.wait(step_ms, condition, 20), 'timed out waiting for ' .. what)
end

local lines = {
  'function double(Number n) -> Number {',
  '    return n * 2;',
  '}',
  'let total := double(21);',
  'say "😀 ⋃", total + ;',
}

-- The 0-based byte column of the first `needle` in line `row` (1-based), plus `offset`.
local function byte_col(row, needle, offset)
  local start = string.find(vim.api.nvim_buf_get_lines(0, row - 1, row, true)[1], needle, 1, true)
  check(start, 'no "' .. needle .. '" in line ' .. row)
  return start - 1 + (offset or 0)
end

local function run()
  check(vim.fn.executable(server) == 1, 'no server at ' .. server .. ' (set TOLU_LSP)')
  local dir = vim.fn.tempname()
  vim.fn.mkdir(dir, 'p')
  local path = dir .. '/e2e.tos'
  vim.fn.writefile(lines, path)
  vim.cmd('edit ' .. vim.fn.fnameescape(path))
  local bufnr = vim.api.nvim_get_current_buf()

  local exit_code
  local client_id = vim.lsp.start_client({
    name = 'tolu-lsp',
    cmd = { server },
    root_dir = dir,
    on_exit = function(code) exit_code = code end,
  })
  check(client_id, 'the client did not start')
  check(vim.lsp.buf_attach_client(bufnr, client_id), 'the buffer was not attached')
  local client
  wait_until('initialize', function()
    client = vim.lsp.get_client_by_id(client_id)
    return client ~= nil and client.initialized
  end)

  -- The error: on the semicolon after '+', at its byte column although the line holds a
  -- character outside the BMP (two UTF-16 units) and a Unicode operator (three bytes).
  wait_until('the diagnostic', function() return #vim.diagnostic.get(bufnr) > 0 end)
  local diagnostic = vim.diagnostic.get(bufnr)[1]
  check(diagnostic.severity == vim.diagnostic.severity.ERROR, 'not an error')
  check(diagnostic.source == 'tolu', 'source is ' .. tostring(diagnostic.source))
  local semicolon = byte_col(5, '+ ;', 2)
  check(diagnostic.lnum == 4 and diagnostic.col == semicolon,
    string.format('diagnostic at %d:%d, expected 4:%d', diagnostic.lnum, diagnostic.col, semicolon))

  -- Typing the missing operand sends an incremental change; the error goes away.
  vim.api.nvim_buf_set_text(bufnr, 4, semicolon, 4, semicolon, { '1' })
  wait_until('the diagnostic to clear', function() return #vim.diagnostic.get(bufnr) == 0 end)

  -- Hover on the use of total after the emoji.
  vim.api.nvim_win_set_cursor(0, { 5, byte_col(5, 'total', 1) })
  local params = vim.lsp.util.make_position_params()
  local response = client.request_sync('textDocument/hover', params, step_ms, bufnr)
  check(response and not response.err and response.result, 'no hover: ' .. vim.inspect(response))
  local contents = response.result.contents
  local text = type(contents) == 'table' and (contents.value or vim.inspect(contents)) or contents
  check(text:find('Number', 1, true), 'hover without the type: ' .. text)

  -- Definition jumps to the declaration's name.
  response = client.request_sync('textDocument/definition', params, step_ms, bufnr)
  check(response and response.result, 'no definition: ' .. vim.inspect(response))
  local location = response.result[1] or response.result
  local target = location.range or location.targetSelectionRange
  check(target.start.line == 3 and target.start.character == 4,
    'definition at ' .. vim.inspect(target))

  -- Rename through the editor's own command, which applies the edit to the buffer.
  vim.lsp.buf.rename('sum')
  wait_until('the rename', function()
    local now = vim.api.nvim_buf_get_lines(bufnr, 0, -1, true)
    return now[4] == 'let sum := double(21);' and now[5] == 'say "😀 ⋃", sum + 1;'
  end)

  vim.lsp.stop_client(client_id)
  wait_until('the server to exit', function() return exit_code ~= nil end)
  check(exit_code == 0, 'server exit status ' .. tostring(exit_code))
  vim.fn.delete(dir, 'rf')
end

local ok, message = pcall(run)
if ok then
  io.stdout:write('e2e.lua: ok\n')
  os.exit(0)
end
io.stderr:write('e2e.lua: ' .. tostring(message) .. '\n')
vim.lsp.stop_client(vim.lsp.get_active_clients(), true)
os.exit(1)
