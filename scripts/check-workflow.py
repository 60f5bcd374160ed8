#!/usr/bin/env python3
"""The rules of scripts/check-workflow, one expect() each, each problem one line: for every workflow, action.yml
under .github/ and local action or workflow they use, pins, push and pull_request, contents: read, uploads and no
continue-on-error; for ci.yml also the README's commands, JUnit of every ctest call (in a step or a script it runs)
and GoogleTest's XML uploaded with if: always(), timeouts, README.md's test binaries, windows-mingw's first steps."""
import glob, json, os, re, shlex, sys
import yaml

MARGIN = 5  # minutes a job keeps beyond its steps' timeouts, for its report and uploads
UPLOAD = "actions/upload-artifact@"
START = r"(?m)(?:^|[\s;&|(])"  # where a shell command starts
DIGEST = re.compile(r"@sha256:[0-9a-f]{64}$")
README = open("README.md", encoding="utf-8").read()
problems = []


def expect(ok, where, expected, found):
    if not ok:
        problems.append(f"check-workflow: {where}: expected {expected}, found {found}")


def uses_nodes(node):  # every value under a key `uses`, at any depth, in any style
    for key, value in node.value if isinstance(node, yaml.MappingNode) else enumerate(node.value):
        yield from [value] if getattr(key, "value", None) == "uses" else []
        yield from uses_nodes(value) if isinstance(value, (yaml.MappingNode, yaml.SequenceNode)) else []


def check_file(path, queue):
    text = open(path, encoding="utf-8").read()
    nodes = [node for document in yaml.compose_all(text) if document for node in uses_nodes(document)]
    document = yaml.safe_load(text) or {}  # the schema validator has read it as YAML
    for node in nodes:
        value, where = str(node.value), f"{path}: line {node.start_mark.line + 1}"
        rest = text.splitlines()[node.end_mark.line][node.end_mark.column:]
        if value.startswith("./"):
            found = [f for f in (value[2:], value[2:] + "/action.yml", value[2:] + "/action.yaml") if os.path.isfile(f)]
            expect(found, where, f"the local action or reusable workflow {value}", "no such file")
            queue += [f for f in map(os.path.normpath, found[:1]) if f not in queue]
        elif value.startswith("docker://"):
            expect(DIGEST.search(value), where, "a Docker image pinned to a sha256 digest", value)
        else:
            pinned = re.fullmatch(r"[\w.-]+/[\w./-]+@[0-9a-f]{40}", value) and re.match(r"[\s,}\]]*# v[\d.]+\s*$", rest)
            found = (value + " " + rest.strip(" ,}]")).strip()
            expect(pinned, where, "an action pinned to a full commit with '# vX.Y.Z' beside it", found)
    if "jobs" in document:
        on = document.get("on", document.get(True))  # YAML 1.1 reads the key on as true
        on = {on} if isinstance(on, str) else set(on or [])
        expect(on == {"workflow_call"} or {"push", "pull_request"} <= on, path,
               "the workflow to run on push and pull_request", "on: " + " ".join(sorted(map(str, on))))
        expect(document.get("permissions") == {"contents": "read"}, path, "permissions: contents: read",
               f"permissions: {document.get('permissions')}")
    runs = document.get("runs") if isinstance(document.get("runs"), dict) else {}
    for name, job in {**(document.get("jobs") or {}), **({"(composite action)": runs} if runs else {})}.items():
        job, where = job or {}, f"{path}: job {name}"
        permissions = job.get("permissions", {})
        expect(set(permissions.values() if isinstance(permissions, dict) else [permissions]) <= {"read", "none"}, where,
               "no permission beyond read", f"permissions: {permissions}")
        for image in [job.get("container")] + list((job.get("services") or {}).values()):
            image = image.get("image") if isinstance(image, dict) else image
            expect(not image or DIGEST.search(str(image)), where, "the container image pinned to a digest", image)
        for step in [job] + (job.get("steps") or []):
            label = f"{where}, step {step.get('name') or step.get('uses') or str(step.get('run')).strip()[:40]}"
            if str(step.get("uses")).startswith(UPLOAD):
                found = (step.get("with") or {}).get("if-no-files-found")
                expect(found == "error", label, "if-no-files-found: error on the upload", found)
            expect("continue-on-error" not in step, label, "no continue-on-error", step.get("continue-on-error"))
    return document


def readme_block(heading, language):
    """The non-blank lines of the first ```language block below heading in README.md."""
    found = re.search(rf"^```{language}\n(.*?)^```", README.partition(heading + "\n")[2], re.M | re.S)
    expect(found, "README.md", f"a ```{language} block below '{heading}'", "none")
    return [line.strip() for line in (found[1] if found else "").splitlines() if line.strip()]


def ctest_calls(text, seen):
    """The arguments of each ctest call in shell text and in the scripts of the repository it runs, in turn."""
    code = "\n".join(line for line in text.splitlines() if not line.lstrip().startswith("#"))
    yield from (shlex.split(call, comments=True) for call in re.findall(START + r"ctest(?=\s|$)([^\n;&|)]*)", code))
    for script in set(re.findall(START + r"(?:\./)?((?:scripts|\.ci)/[\w./-]+)", code)) - seen:
        if os.path.isfile(script) and not script.endswith(".py"):
            yield from ctest_calls(open(script, encoding="utf-8").read(), seen.add(script) or seen)


def junit_file(arguments, presets):
    """Where a ctest call writes JUnit, from the workspace; None when it writes none."""
    option = dict(zip(arguments, arguments[1:])) | dict(a.split("=", 1) for a in arguments if re.match("--.*=", a))
    test = next((p for p in presets["testPresets"] if p["name"] == option.get("--preset")), {})
    folder = option.get("--test-dir") or "build/" + test.get("configurePreset", "")  # binaryDir: build/${presetName}
    junit = option.get("--output-junit") or test.get("output", {}).get("outputJUnitFile")
    return junit and os.path.normpath(os.path.join(folder, junit))


def gtest_folders(step):
    """The folders, from the workspace, where a step's GoogleTest runs write their XML."""
    targets = [os.path.join(step.get("working-directory", "."), target)
               for target in re.findall(r"--gtest_output=xml:(\S+)", str(step.get("run")))]
    output = str((step.get("env") or {}).get("GTEST_OUTPUT", ""))
    targets += [output[4:].replace("${{ github.workspace }}", ".")] if output.startswith("xml:") else []
    targets = [t.replace("\\", "/") for t in targets]
    return [os.path.normpath(t if t.endswith("/") else os.path.dirname(t)) for t in targets]


def check_ci(path, jobs):
    presets = json.load(open("CMakePresets.json", encoding="utf-8"))
    steps = {name: (job or {}).get("steps") or [{}] for name, job in jobs.items()}
    visual_studio = readme_block("### Windows with Visual Studio 2022", "bat")
    for name, commands in (("linux", ["scripts/test"]), ("windows-msvc", visual_studio)):
        runs = [" ".join(str(step.get("run", "")).split()) for step in steps.get(name, [])]
        expect(any(runs[i:i + len(commands)] == commands for i in range(len(runs))), f"{path}: job {name}",
               "the README's commands as consecutive steps: " + " | ".join(commands), " | ".join(filter(None, runs)))
    for name, job_steps in steps.items():
        where, limit = f"{path}: job {name}", (jobs[name] or {}).get("timeout-minutes", 360)
        own = [step["timeout-minutes"] for step in job_steps if isinstance(step.get("timeout-minutes"), int)]
        expect(sum(own) <= limit - MARGIN, where, f"its steps' timeouts to leave {MARGIN} of its {limit} minutes "
               "for the report and the uploads", f"them adding up to {sum(own)} ({' + '.join(map(str, own))})")
        kept = [os.path.normpath(kept) for step in job_steps if str(step.get("uses")).startswith(UPLOAD)
                and re.search(r"always\(\)|!cancelled\(\)", str(step.get("if")))
                for kept in str((step.get("with") or {}).get("path")).split()]
        written = []
        for step in (s for s in job_steps if re.search(r"\bscripts/test\b|\bctest\b|_tests\.exe\b", str(s.get("run")))):
            expect(step.get("timeout-minutes", limit) < limit, f"{where}, step {step.get('name') or step['run']}",
                   f"a timeout-minutes below the job's {limit}", step.get("timeout-minutes"))
            for arguments in ctest_calls(step["run"], set()):
                junit = junit_file(arguments, presets)
                expect(junit and junit not in written, where, f"`ctest {shlex.join(arguments)}` to write JUnit of its "
                       "own (--output-junit, or its test preset's outputJUnitFile)",
                       f"it writing over {junit}" if junit else "none")
                written.append(junit)
            written += gtest_folders(step)
        missing = {w: 0 for w in written if w and not any(w == k or w.startswith(k + os.sep) for k in kept)}
        expect(not missing, where, f"{' '.join(missing)}, where its tests write their reports, in an upload with "
               "if: always()", " ".join(kept) or "no such upload")
    binaries = [s for s in steps.get("linux", []) if (s.get("with") or {}).get("name") == "mingw-test-binaries"]
    wanted = sorted(w.replace("\\", "/") for w in readme_block("### Running the tests on Windows by hand", "text")[1:])
    kept = sorted(os.path.relpath(p, "build/mingw/bin") for s in binaries for p in str(s["with"].get("path")).split())
    expect(kept == wanted, f"{path}: job linux", "the mingw-test-binaries artifact to hold README.md's "
           + " ".join(wanted), " ".join(kept) or "no such upload")
    output = [name for name, value in ((jobs.get("linux") or {}).get("outputs") or {}).items()
              if binaries and f"steps.{binaries[0].get('id')}.outputs.artifact-id" in str(value)] + ["(none)"]
    mingw = steps.get("windows-mingw", [{}])
    expect(f"needs.linux.outputs.{output[0]}==''" in str(mingw[0].get("if")).replace(" ", "") and "exit 1" in
           str(mingw[0].get("run")), f"{path}: job windows-mingw", "a first step that fails, saying so, when the linux "
           "job made no test binaries (if: needs.linux.outputs.<the upload's artifact-id> == '')",
           f"if: {mingw[0].get('if')}")
    roots = [str((s.get("env") or {}).get("ORVEL_TEST_ROOT", "")) for s in mingw if "_e2e_" in str(s.get("run"))]
    expect(roots and all(" " in r and re.search(r"[^\x00-\x7f]", r) for r in roots), f"{path}: job windows-mingw",
           "the end-to-end step to set ORVEL_TEST_ROOT to a folder with a blank and letters beyond ASCII",
           " | ".join(root or "(unset)" for root in roots) or "no such step")


files = sorted(f for f in glob.glob(".github/workflows/**", recursive=True) if os.path.isfile(f))
files += sorted(glob.glob(".github/**/action.y*ml", recursive=True))
for file in files:  # check_file adds the local actions and workflows that a file uses
    document = check_file(file, files)
    if file == ".github/workflows/ci.yml":
        check_ci(file, document.get("jobs") or {})
print("\n".join(problems) or f"check-workflow: {', '.join(files)}: every rule holds", file=sys.stderr)
sys.exit(1 if problems else 0)
