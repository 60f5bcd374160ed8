#!/usr/bin/env python3
"""The rules of scripts/check-workflow, one expect() each, each problem one line.

Every file in .github/workflows/, every action.yml under .github/ and every
local action or workflow these use: each `uses`, in any style, pinned (an
action to a full commit with '# vX.Y.Z' beside it, an image to a digest) or
present; container images pinned; on push and pull_request; contents: read and
no job more; uploads fail without their files; continue-on-error only on the
exe comparison. ci.yml also: the README's commands; each ctest call (in a step
or a script it runs) writes its own JUnit, and JUnit and GoogleTest XML are
uploaded with if: always() from where they are written; timeouts; the test
binaries as README.md lists them, and what windows-mingw does without them and
where its end-to-end tests run.
"""
import glob
import json
import os
import re
import shlex
import sys

import yaml

MARGIN = 5  # minutes a job keeps beyond its steps' timeouts, for its report and uploads
DIGEST = re.compile(r"@sha256:[0-9a-f]{64}$")
problems = []


def expect(ok, where, expected, found):
    if not ok:
        problems.append(f"check-workflow: {where}: expected {expected}, found {found}")


def uses_nodes(node):
    """Every value under a key `uses`, at any depth, in any style."""
    if isinstance(node, yaml.MappingNode):
        for key, value in node.value:
            yield from [value] if key.value == "uses" else []
            yield from uses_nodes(value)
    elif isinstance(node, yaml.SequenceNode):
        for item in node.value:
            yield from uses_nodes(item)


def check_file(path, queue):
    text = open(path, encoding="utf-8").read()
    try:
        nodes = [node for document in yaml.compose_all(text) for node in uses_nodes(document)]
        document = yaml.safe_load(text) or {}
    except yaml.YAMLError as error:
        return expect(False, path, "YAML", str(error).replace("\n", " "))
    for node in nodes:
        value, where = str(node.value), f"{path}: line {node.start_mark.line + 1}"
        rest = text.splitlines()[node.end_mark.line][node.end_mark.column:]
        if value.startswith("./"):
            found = [f for f in (value[2:], value[2:] + "/action.yml", value[2:] + "/action.yaml") if os.path.isfile(f)]
            expect(found, where, f"the local action or reusable workflow {value}", "no such file")
            queue += found[:1]
        elif value.startswith("docker://"):
            expect(DIGEST.search(value), where, "a Docker image pinned to a sha256 digest", value)
        else:
            expect(re.fullmatch(r"[\w.-]+/[\w./-]+@[0-9a-f]{40}", value) and re.match(r"[\s,}\]]*# v\d+(\.\d+)*\s*$", rest),
                   where, "an action pinned to a full commit with '# vX.Y.Z' beside it", (value + rest).strip())
    if "jobs" in document:
        on = document.get("on", document.get(True))  # YAML 1.1 reads the key on as true
        on = {on} if isinstance(on, str) else set(on or [])
        expect(on == {"workflow_call"} or {"push", "pull_request"} <= on, path,
               "the workflow to run on push and pull_request", "on: " + " ".join(sorted(map(str, on))))
        expect(document.get("permissions") == {"contents": "read"}, path, "permissions: contents: read",
               f"permissions: {document.get('permissions')}")
    runs = document.get("runs") if isinstance(document.get("runs"), dict) else {}
    jobs = {**(document.get("jobs") or {}), **({"(composite action)": runs} if runs else {})}
    for name, job in jobs.items():
        job, where = job or {}, f"{path}: job {name}"
        permissions = job.get("permissions", {})
        expect(set(permissions.values() if isinstance(permissions, dict) else [permissions]) <= {"read", "none"}, where,
               "no permission beyond read", f"permissions: {permissions}")
        for image in [job.get("container")] + list((job.get("services") or {}).values()):
            image = image.get("image") if isinstance(image, dict) else image
            expect(not image or DIGEST.search(str(image)), where, "the container image pinned to a sha256 digest", image)
        for step in [job] + (job.get("steps") or []):
            label = f"{where}, step {step.get('name') or step.get('uses') or str(step.get('run')).strip()[:40]}"
            if str(step.get("uses", "")).startswith("actions/upload-artifact@"):
                found = (step.get("with") or {}).get("if-no-files-found")
                expect(found == "error", label, "if-no-files-found: error on the upload", found)
            expect(step.get("continue-on-error", False) is False or "cmake -E compare_files" in str(step.get("run")),
                   label, "continue-on-error only on the exe comparison", f"continue-on-error: {step.get('continue-on-error')}")
    return document


def readme_block(heading, language):
    """The non-blank lines of the first ```language block below heading in README.md."""
    found = re.search(rf"^```{language}\n(.*?)^```", README.partition(heading + "\n")[2], re.M | re.S)
    expect(found, "README.md", f"a ```{language} block below '{heading}'", "none")
    return [line.strip() for line in (found[1] if found else "").splitlines() if line.strip()]


def shell_texts(text, seen):
    """Shell text without its comments, then that of each script of the repository it runs, in turn."""
    yield "\n".join(line for line in text.splitlines() if not line.lstrip().startswith("#"))
    for script in re.findall(r"(?:^|[\s;&|(])(?:\./)?((?:scripts|\.ci)/[\w./-]+)", text, re.M):
        if script not in seen and os.path.isfile(script) and not script.endswith(".py"):
            seen.add(script)
            yield from shell_texts(open(script, encoding="utf-8").read(), seen)


def junit_file(arguments, presets):
    """Where a ctest call writes JUnit, from the workspace; None when it writes none."""
    option = {a: b for a, b in zip(arguments, arguments[1:])}
    option.update(a.split("=", 1) for a in arguments if a.startswith("--") and "=" in a)
    test = next((p for p in presets["testPresets"] if p["name"] == option.get("--preset")), {})
    folder = option.get("--test-dir") or "build/" + test.get("configurePreset", "")  # binaryDir: build/${presetName}
    junit = option.get("--output-junit") or test.get("output", {}).get("outputJUnitFile")
    return junit and os.path.normpath(os.path.join(folder, junit))


def gtest_folders(step):
    """The folders, from the workspace, where a step's GoogleTest runs write their XML."""
    targets = [os.path.join(step.get("working-directory", "."), target)
               for target in re.findall(r"--gtest_output=xml:(\S+)", str(step.get("run", "")))]
    output = str((step.get("env") or {}).get("GTEST_OUTPUT", ""))
    targets += [output[4:].replace("${{ github.workspace }}", ".")] if output.startswith("xml:") else []
    return [os.path.normpath(t if t.endswith("/") else os.path.dirname(t)) for t in (t.replace("\\", "/") for t in targets)]


def check_ci(path, jobs):
    presets = json.load(open("CMakePresets.json", encoding="utf-8"))
    steps = {name: (job or {}).get("steps") or [{}] for name, job in jobs.items()}
    runs = {name: [str(step.get("run", "")).strip() for step in job_steps] for name, job_steps in steps.items()}
    expect("scripts/test" in runs.get("linux", []), f"{path}: job linux", "a step that runs scripts/test",
           " | ".join(filter(None, runs.get("linux", []))))
    visual_studio, msvc = readme_block("### Windows with Visual Studio 2022", "bat"), runs.get("windows-msvc", [])
    expect(any(msvc[i:i + len(visual_studio)] == visual_studio for i in range(len(msvc))), f"{path}: job windows-msvc",
           "the README's Visual Studio commands as consecutive steps: " + " | ".join(visual_studio),
           " | ".join(filter(None, msvc)))
    for name, job_steps in steps.items():
        where, limit = f"{path}: job {name}", (jobs[name] or {}).get("timeout-minutes", 360)
        own = [step["timeout-minutes"] for step in job_steps if isinstance(step.get("timeout-minutes"), int)]
        expect(sum(own) <= limit - MARGIN, where, f"its steps' timeouts to leave {MARGIN} of its {limit} minutes "
               "for the report and the uploads", f"them adding up to {sum(own)} ({' + '.join(map(str, own))})")
        kept = [os.path.normpath(kept) for step in job_steps if str(step.get("uses")).startswith("actions/upload-artifact@")
                and re.search(r"always\(\)|!cancelled\(\)", str(step.get("if"))) for kept in str((step.get("with") or {}).get("path")).split()]
        written = []
        for step in (step for step in job_steps if re.search(r"\bscripts/test\b|\bctest\b|_tests\.exe\b", str(step.get("run")))):
            expect(step.get("timeout-minutes", limit) < limit, f"{where}, step {step.get('name') or step['run']}",
                   f"a timeout-minutes below the job's {limit}", step.get("timeout-minutes"))
            for call in (c for text in shell_texts(step["run"], set())
                         for c in re.findall(r"(?:^|[\s;&|(])ctest(?=\s|$)([^\n;&|)]*)", text, re.M)):
                junit = junit_file(shlex.split(call, comments=True), presets)
                expect(junit and junit not in written, where, f"`ctest{call}` to write JUnit of its own (--output-junit, "
                       "or its test preset's outputJUnitFile)", f"it writing over {junit}" if junit else "none")
                written.append(junit)
            written += gtest_folders(step)
        missing = [w for w in written if w and not any(w == k or w.startswith(k + os.sep) for k in kept)]
        expect(not missing, where, f"{' '.join(missing)}, where its tests write their reports, in an upload with "
               "if: always()", " ".join(kept) or "no such upload")
    binaries = [step for step in steps.get("linux", []) if (step.get("with") or {}).get("name") == "mingw-test-binaries"]
    wanted = sorted(line.replace("\\", "/") for line in readme_block("### Running the tests on Windows by hand", "text")[1:])
    kept = sorted(os.path.relpath(p, "build/mingw/bin") for step in binaries for p in str(step["with"].get("path")).split())
    expect(kept == wanted, f"{path}: job linux", f"the mingw-test-binaries artifact to hold README.md's {' '.join(wanted)}",
           " ".join(kept) or "no such upload")
    output = [name for name, value in ((jobs.get("linux") or {}).get("outputs") or {}).items()
              if binaries and f"steps.{binaries[0].get('id')}.outputs.artifact-id" in str(value)]
    mingw = steps.get("windows-mingw", [{}])
    expect(output and f"needs.linux.outputs.{output[0]}==''" in str(mingw[0].get("if")).replace(" ", "") and
           "exit 1" in str(mingw[0].get("run")), f"{path}: job windows-mingw", "a first step that fails, saying so, when "
           "the linux job made no test binaries (if: needs.linux.outputs.<the upload's artifact-id> == '')",
           f"if: {mingw[0].get('if')}")
    roots = [str((step.get("env") or {}).get("ORVEL_TEST_ROOT", "")) for step in mingw
             if "orvel_e2e_tests.exe" in str(step.get("run"))]
    expect(roots and all(" " in root and re.search(r"[^\x00-\x7f]", root) for root in roots), f"{path}: job windows-mingw",
           "the end-to-end step to set ORVEL_TEST_ROOT to a folder with a blank and letters beyond ASCII",
           " | ".join(root or "(unset)" for root in roots) or "no such step")


README = open("README.md", encoding="utf-8").read()
queue = sorted(f for f in glob.glob(".github/workflows/**", recursive=True) if os.path.isfile(f))
queue += sorted(glob.glob(".github/**/action.y*ml", recursive=True))
checked = []
while queue:
    file = os.path.normpath(queue.pop(0))
    if file not in checked:
        checked.append(file)
        document = check_file(file, queue)
        if file == os.path.normpath(".github/workflows/ci.yml") and document:
            check_ci(file, document.get("jobs") or {})
print("\n".join(problems) or f"check-workflow: {', '.join(checked)}: every rule holds", file=sys.stderr if problems else sys.stdout)
sys.exit(1 if problems else 0)
