-- Run by ardour7-lua, the headless interpreter of Ardour's library.
--
--   ardour-render.lua session DIR GAIN INTENSITY OUT_GAIN
--     writes DIR/input.wav and the session DIR/session ("render"): that input
--     on a stereo track through the VST3 plug-in at those settings, the
--     session's range the input's length
--   ardour-render.lua compare A B
--     A and B, two 32-bit float stereo WAV files, must hold the same samples,
--     bit for bit
local rate = 48000
local frames = 3 * rate

local function fail(message)
  io.stderr:write(message, "\n")
  os.exit(1)
end

local function write_float_wav(path, channels)
  local samples = {}
  for frame = 1, #channels[1] do
    for _, channel in ipairs(channels) do
      samples[#samples + 1] = string.pack("<f", channel[frame])
    end
  end
  local data = table.concat(samples)
  local block = 4 * #channels
  local file = assert(io.open(path, "wb"))
  file:write("RIFF", string.pack("<I4", 36 + #data), "WAVE",
    "fmt ", string.pack("<I4I2I2I4I4I2I2", 16, 3, #channels, rate, rate * block, block, 32),
    "data", string.pack("<I4", #data), data)
  assert(file:close())
end

-- The data chunk of a 32-bit float stereo WAV file, as bytes.
local function read_float_stereo(path)
  local file = io.open(path, "rb") or fail("cannot open " .. path)
  local bytes = file:read("a")
  file:close()
  if bytes:sub(1, 4) ~= "RIFF" or bytes:sub(9, 12) ~= "WAVE" then
    fail(path .. " is no WAV file")
  end
  local position, float_stereo = 13, false
  while position + 8 <= #bytes do
    local id, size = bytes:sub(position, position + 3), string.unpack("<I4", bytes, position + 4)
    if id == "fmt " then
      local tag, channels, _, _, _, bits = string.unpack("<I2I2I4I4I2I2", bytes, position + 8)
      float_stereo = (tag == 3 or tag == 0xFFFE) and channels == 2 and bits == 32
    elseif id == "data" then
      if not float_stereo then fail(path .. " is not 32-bit float stereo") end
      return bytes:sub(position + 8, position + 7 + size)
    end
    position = position + 8 + size + size % 2
  end
  fail(path .. " has no data chunk")
end

-- Sines with noise, rising from -40 to +12 dBFS, different on each side: quiet
-- parts pass the shaper unchanged, loud ones are smoothed.
local function material()
  local seed = 12345
  local function noise()
    seed = (seed * 1103515245 + 12345) % 2147483648
    return seed / 1073741824 - 1
  end
  local left, right = {}, {}
  for i = 0, frames - 1 do
    local level = 10 ^ ((-40 + 52 * i / frames) / 20)
    local phase = 2 * math.pi * i / rate
    left[#left + 1] = level * (0.7 * math.sin(220 * phase) + 0.3 * noise())
    right[#right + 1] = level * (0.6 * math.sin(331 * phase) + 0.4 * noise())
  end
  return left, right
end

local function expect_unity(what, control)
  if control:get_value() ~= 1 then
    fail(what .. " is " .. control:get_value() .. ", not unity")
  end
end

local function make_session(dir, settings)
  local left, right = material()
  write_float_wav(dir .. "/input.wav", { left, right })

  AudioEngine:set_backend("None (Dummy)", "", "")
  local session = create_session(dir .. "/session", "render", rate) or fail("Ardour made no session")
  local track = session:new_audio_track(2, 2, nil, 1, "Shaped", ARDOUR.PresentationInfo.max_order,
    ARDOUR.TrackMode.Normal, true):front()

  -- The Lua API imports no files. A bounce of the empty track gives a
  -- region over two mono files of the right length, which then get the input.
  local region = track:bounce_range(0, frames, ARDOUR.InterThreadInfo(), ARDOUR.LuaAPI.nil_proc(),
    false, "input")
  write_float_wav(region:source(0):to_filesource():path(), { left })
  write_float_wav(region:source(1):to_filesource():path(), { right })
  -- Ardour's default region fades would shape the first and last frames.
  region:to_audioregion():set_fade_in_active(false)
  region:to_audioregion():set_fade_out_active(false)
  -- Ardour sets the session range (what the export renders) only for a
  -- region added under one of its editing operations.
  session:begin_reversible_command("insert region")
  track:playlist():add_region(region, Temporal.timepos_t(0), 1, false, 0, 0, false)
  session:commit_reversible_command(nil)

  local plugin = ARDOUR.LuaAPI.new_plugin(session, "Kestrune Glowrasp", ARDOUR.PluginType.VST3, "")
  if plugin:isnil() then fail("Ardour does not know the VST3 plug-in: its scan cache lacks it") end
  if track:add_processor_by_index(plugin, 0, nil, true) ~= 0 then
    fail("Ardour did not insert the plug-in on the track")
  end
  for index, value in ipairs(settings) do
    ARDOUR.LuaAPI.set_processor_param(plugin, index - 1, value)
  end

  local latency = plugin:to_insert():signal_latency()
  if latency ~= 6 then fail("Ardour sees a latency of " .. latency .. " frames, not 6") end
  expect_unity("the track's gain", track:gain_control())
  expect_unity("the track's trim", track:trim_control())
  expect_unity("the master's gain", session:master_out():gain_control())
  expect_unity("the master's trim", session:master_out():trim_control())
  -- A stereo track into a stereo master gets the balance panner: unity at the centre.
  if track:pan_azimuth_control():get_value() ~= 0.5 then fail("the track is not panned centre") end
  local range = session:locations():session_range_location()
  if range == nil or range:start():samples() ~= 0 or range:_end():samples() ~= frames then
    fail("the session range is not the input's " .. frames .. " frames")
  end

  session:save_state("", false, false, false, false, false)
  close_session()
end

-- On a mismatch, says whether one file is the other shifted by a few frames
-- (a latency compensated twice or not at all): a positive shift when a is b
-- delayed, a negative one when b is a delayed.
local function shift_between(a, b)
  local frame = 8
  for shift = 1, 64 do
    local cut = shift * frame
    if #a > cut and a:sub(cut + 1) == b:sub(1, #b - cut) then return shift end
    if #b > cut and b:sub(cut + 1) == a:sub(1, #a - cut) then return -shift end
  end
  return nil
end

local function compare(path_a, path_b)
  local a, b = read_float_stereo(path_a), read_float_stereo(path_b)
  if a == b then
    print(("bit identical: %d samples (%d frames, 2 channels)"):format(#a // 4, #a // 8))
    return
  end
  if #a ~= #b then
    fail(("%s has %d frames, %s %d"):format(path_a, #a // 8, path_b, #b // 8))
  end
  local shift = shift_between(a, b)
  if shift then
    fail(("%s is %s shifted %d frames later"):format(shift > 0 and path_a or path_b,
      shift > 0 and path_b or path_a, math.abs(shift)))
  end
  local differing, first = 0, nil
  for offset = 1, #a, 4 do
    if a:sub(offset, offset + 3) ~= b:sub(offset, offset + 3) then
      differing = differing + 1
      first = first or offset
    end
  end
  local sample = (first - 1) // 4
  fail(("%d of %d samples differ, the first at frame %d, channel %d: %.9g against %.9g"):format(
    differing, #a // 4, sample // 2, sample % 2, string.unpack("<f", a, first),
    string.unpack("<f", b, first)))
end

if arg[1] == "session" and arg[5] then
  make_session(arg[2], { tonumber(arg[3]), tonumber(arg[4]), tonumber(arg[5]) })
elseif arg[1] == "compare" and arg[3] then
  compare(arg[2], arg[3])
else
  fail("usage: ardour-render.lua session DIR GAIN INTENSITY OUT_GAIN | compare A B")
end
