#!/usr/bin/env python3
"""The checks of scripts/check-workflow that read the workflows as YAML.

check_workflows.py WORKFLOW_FOLDER README CMAKE_PRESETS

In every file of WORKFLOW_FOLDER, every `uses`, in block or flow style, at any
depth, is pinned: an action to a full commit with "# vX.Y.Z" after it on its
line, a Docker image to a sha256 digest; local actions come with the commit.
In ci.yml:
  - the linux job runs scripts/test, the README's command, and windows-msvc
    runs the README's Visual Studio commands as consecutive steps;
  - the MinGW-w64 test binaries are kept whenever they were built, and
    windows-mingw runs unless the run was cancelled;
  - every test step has a timeout below its job's, and GoogleTest runs with
    brief output;
  - each Windows job names its failed tests in the job summary, from the XML
    of each test step, even after a failure;
  - every ctest test preset the workflow runs writes JUnit, which is kept;
  - windows-msvc builds the exe again in another folder and compares the two
    exes into the job summary, without failing the job on a difference.
Each problem is one line: what was expected and what was found.
"""
import json
import os
import re
import sys

import yaml

PINNED_ACTION = re.compile(r"[\w.-]+/[\w./-]+@[0-9a-f]{40}")
VERSION_COMMENT = re.compile(r"\s*# v\d+\.\d+\.\d+\s*$")
PINNED_IMAGE = re.compile(r"docker://[^@\s]+@sha256:[0-9a-f]{64}")
TEST_RUN = re.compile(r"\bscripts/test\b|^ctest\b|_tests\.exe\b", re.M)
SUMMARY = "scripts/ci-summary.py"
problems = []


def problem(path, message):
    problems.append("%s: %s" % (path, message))


# --- pinning ---------------------------------------------------------------------
def uses_nodes(node, seen=None):
    """Every scalar under a mapping key `uses`, at any depth and in any style."""
    seen = set() if seen is None else seen
    if id(node) in seen:
        return
    seen.add(id(node))
    if isinstance(node, yaml.MappingNode):
        for key, value in node.value:
            if isinstance(key, yaml.ScalarNode) and key.value == "uses":
                yield value
            yield from uses_nodes(value, seen)
    elif isinstance(node, yaml.SequenceNode):
        for item in node.value:
            yield from uses_nodes(item, seen)


def check_pinning(path, text):
    lines = text.splitlines()
    count = 0
    for document in yaml.compose_all(text):
        for node in uses_nodes(document):
            count += 1
            where = "line %d" % (node.start_mark.line + 1)
            value = node.value if isinstance(node, yaml.ScalarNode) else None
            if not isinstance(value, str):
                problem(path, "%s: expected `uses` to name an action, found %s" % (where, node.tag))
            elif value.startswith("./"):
                continue
            elif value.startswith("docker://"):
                if not PINNED_IMAGE.fullmatch(value):
                    problem(path, "%s: expected a Docker image pinned to a sha256 digest, found %s" % (where, value))
            elif not PINNED_ACTION.fullmatch(value):
                problem(path, "%s: expected an action pinned to a full commit, found %s" % (where, value))
            else:
                rest = lines[node.end_mark.line][node.end_mark.column:]
                if not VERSION_COMMENT.search(rest.lstrip(" ,}]")):
                    problem(path, "%s: expected '# vX.Y.Z' after %s on its line, found %r"
                            % (where, value, rest.strip() or "nothing"))
    return count


# --- ci.yml --------------------------------------------------------------------
def condition(step_or_job):
    return str(step_or_job.get("if", "")).replace(" ", "")


def runs_despite_failure(step_or_job):
    text = condition(step_or_job)
    return "always()" in text or "!cancelled()" in text


def readme_block(readme, heading, language):
    """The lines of the first ```language block below heading, before the next heading."""
    start = readme.index(heading) + 1
    for number, line in enumerate(readme[start:], start):
        if line.startswith("#"):
            break
        if line == "```" + language:
            end = readme.index("```", number + 1)
            return [line for line in readme[number + 1:end] if line.strip()]
    sys.exit("check-workflow: README.md has no ```%s block under '%s'" % (language, heading))


def check_readme_commands(path, jobs, readme):
    commands = [line.split(" #")[0].strip() for line in readme_block(readme, "## For developers", "sh")]
    if "scripts/test" not in commands:
        sys.exit("check-workflow: README.md's developer commands no longer include scripts/test")
    linux = [str(step.get("run", "")).strip() for step in jobs["linux"]["steps"]]
    if "scripts/test" not in linux:
        problem(path, "expected the linux job to run scripts/test, found: " + " | ".join(r for r in linux if r))
    expected = readme_block(readme, "### Windows with Visual Studio 2022", "bat")
    msvc = [str(step.get("run", "")).strip() for step in jobs["windows-msvc"]["steps"]]
    starts = [i for i in range(len(msvc)) if msvc[i:i + len(expected)] == expected]
    if not starts:
        problem(path, "expected the README's Visual Studio commands (%s) as consecutive windows-msvc steps, found: %s"
                % (" | ".join(expected), " | ".join(r for r in msvc if r)))
    return expected


def check_timeouts_and_brief(path, name, job):
    limit = job.get("timeout-minutes")
    for number, step in enumerate(job["steps"], 1):
        run = str(step.get("run", ""))
        if not TEST_RUN.search(run):
            continue
        label = "job %s, step %d (%s)" % (name, number, step.get("name", run.strip().splitlines()[0]))
        own = step.get("timeout-minutes")
        if not isinstance(own, int) or not isinstance(limit, int) or own >= limit:
            problem(path, "%s: expected a timeout-minutes below the job's %s, found %s" % (label, limit, own))
        for line in run.splitlines():
            if "_tests.exe" in line and "--gtest_brief=1" not in line:
                problem(path, "%s: expected GoogleTest with --gtest_brief=1, found: %s" % (label, line.strip()))
        if re.match(r"ctest\b", run) and str(step.get("env", {}).get("GTEST_BRIEF")) != "1":
            problem(path, "%s: expected env GTEST_BRIEF: 1 for ctest's GoogleTest runs, found %s"
                    % (label, step.get("env", {}).get("GTEST_BRIEF")))


def gtest_xml_folders(step):
    """The folders, relative to the workspace, where a step's GoogleTest runs write XML."""
    folders = []
    for target in re.findall(r"--gtest_output=xml:(\S+)", str(step.get("run", ""))):
        folder = os.path.normpath(os.path.join(step.get("working-directory", "."), target.replace("\\", "/")))
        folders.append(os.path.dirname(folder) if not target.endswith(("\\", "/")) else folder)
    env_output = str(step.get("env", {}).get("GTEST_OUTPUT", ""))
    if env_output.startswith("xml:"):
        folders.append(os.path.normpath(env_output[4:].replace("${{ github.workspace }}", ".").replace("\\", "/")))
    return folders


def check_failed_test_summaries(path, name, job, junit_files):
    steps = job["steps"]
    tests = [i for i, step in enumerate(steps) if TEST_RUN.search(str(step.get("run", "")))]
    wanted = [f for i in tests for f in gtest_xml_folders(steps[i])] + junit_files
    summaries = [i for i, step in enumerate(steps) if SUMMARY + " failed-tests" in str(step.get("run", ""))]
    good = [i for i in summaries if i > max(tests) and runs_despite_failure(steps[i])]
    if not good:
        problem(path, "job %s: expected a step after its tests, with if: always(), that runs %s failed-tests; found %s"
                % (name, SUMMARY, ", ".join("step %d (if: %s)" % (i + 1, condition(steps[i]) or "success()")
                                             for i in summaries) or "none"))
        return
    arguments = [os.path.normpath(a) for a in str(steps[good[0]]["run"]).split(SUMMARY + " failed-tests")[1].split()]
    missing = [f for f in wanted if os.path.normpath(f) not in arguments]
    if missing:
        problem(path, "job %s: expected the failed-test summary to read %s, found it reading %s"
                % (name, " ".join(wanted), " ".join(arguments) or "nothing"))


def uploaded_paths(job):
    for step in job["steps"]:
        if str(step.get("uses", "")).startswith("actions/upload-artifact@") and runs_despite_failure(step):
            yield from (os.path.normpath(p) for p in str(step.get("with", {}).get("path", "")).split())


def junit_files(path, name, job, presets):
    """The JUnit files of the ctest presets that a job runs; a problem for each preset without one."""
    files = []
    for step in job["steps"]:
        for preset in re.findall(r"^ctest --preset (\S+)", str(step.get("run", "")), re.M):
            test = next((p for p in presets.get("testPresets", []) if p["name"] == preset), {})
            junit = test.get("output", {}).get("outputJUnitFile")
            configure = next((p for p in presets.get("configurePresets", [])
                              if p["name"] == test.get("configurePreset")), {})
            build = configure.get("binaryDir", "").replace("${sourceDir}/", "").replace("${presetName}",
                                                                                      configure.get("name", ""))
            if not junit:
                problem(path, "job %s: expected test preset %s to set output.outputJUnitFile, found %s"
                        % (name, preset, test.get("output")))
                continue
            junit = os.path.normpath(os.path.join(build, junit))
            files.append(junit)
            if junit not in uploaded_paths(job):
                problem(path, "job %s: expected %s, CTest's JUnit report, in an upload with if: always(), found %s"
                        % (name, junit, " ".join(uploaded_paths(job)) or "none"))
    return files


def check_second_build(path, job, readme_commands):
    steps = job["steps"]
    first_exe = "build/msvc/bin/Release/OrvelLauncher.exe"
    compares = [(i, s) for i, s in enumerate(steps) if SUMMARY + " compare-exes" in str(s.get("run", ""))]
    if not compares:
        problem(path, "job windows-msvc: expected a step that runs %s compare-exes, found none" % SUMMARY)
        return
    number, compare = compares[0]
    exes = str(compare["run"]).split(SUMMARY + " compare-exes")[1].split()
    if len(exes) != 2 or os.path.normpath(exes[0]) != os.path.normpath(first_exe) or \
            os.path.dirname(os.path.normpath(exes[1])) == os.path.dirname(os.path.normpath(exes[0])):
        problem(path, "job windows-msvc: expected compare-exes of %s and an exe from another folder, found %s"
                % (first_exe, " ".join(exes)))
    again = os.path.normpath(exes[-1]).split(os.sep)[0] if exes else ""
    builds = [s for s in steps[:number] if re.search(r"^cmake --build\b", str(s.get("run", "")), re.M)
              and str(s.get("run", "")).strip() not in readme_commands]
    if not any("cd %s" % again in str(s["run"]) or s.get("working-directory") == again for s in builds):
        problem(path, "job windows-msvc: expected a second cmake --build in %s before the comparison, found %s"
                % (again, " | ".join("; ".join(str(s["run"]).strip().splitlines()) for s in builds) or "none"))
    if compare.get("continue-on-error") is not True:
        problem(path, "job windows-msvc: expected continue-on-error: true on the comparison until a run has shown "
                      "the exes equal, found %s" % compare.get("continue-on-error"))


def check_ci(path, text, readme, presets):
    jobs = yaml.safe_load(text).get("jobs", {})
    missing = [job for job in ("linux", "windows-mingw", "windows-msvc") if job not in jobs]
    if missing:
        problem(path, "expected the jobs linux, windows-mingw and windows-msvc, found %s" % " ".join(jobs))
        return "jobs missing"
    readme_commands = check_readme_commands(path, jobs, readme)

    keep = [s for s in jobs["linux"]["steps"] if s.get("with", {}).get("name") == "mingw-test-binaries"]
    if not keep or "hashFiles(" not in condition(keep[0]) or "!cancelled()" not in condition(keep[0]):
        problem(path, "job linux: expected the mingw-test-binaries upload to run whenever the binaries exist "
                      "(if: !cancelled() && hashFiles(...)), found if: %s" % ((condition(keep[0]) or "(none)") if keep else "no such step"))
    mingw = jobs["windows-mingw"]
    if mingw.get("needs") != "linux" or condition(mingw) not in ("${{!cancelled()}}", "!cancelled()"):
        problem(path, "job windows-mingw: expected needs: linux and if: ${{ !cancelled() }}, found needs: %s, if: %s"
                % (mingw.get("needs"), mingw.get("if", "(none)")))

    for name, job in jobs.items():
        check_timeouts_and_brief(path, name, job)
        junit = junit_files(path, name, job, presets)
        if str(job.get("runs-on", "")).startswith("windows"):
            check_failed_test_summaries(path, name, job, junit)
    check_second_build(path, jobs["windows-msvc"], readme_commands)
    return "linux runs scripts/test; windows-msvc runs " + " | ".join(readme_commands)


def main():
    folder, readme_path, presets_path = sys.argv[1:]
    readme = open(readme_path, encoding="utf-8").read().splitlines()
    presets = json.load(open(presets_path, encoding="utf-8"))
    summaries = []
    for root, _, files in os.walk(folder):
        for file in sorted(files):
            path = os.path.join(root, file)
            text = open(path, encoding="utf-8").read()
            try:
                pinned = check_pinning(path, text)
            except yaml.YAMLError as error:
                problem(path, "expected YAML, found: %s" % str(error).replace("\n", " "))
                continue
            summaries.append("%s: %d uses pinned" % (path, pinned))
            if file == "ci.yml":
                summaries.append("%s: %s" % (path, check_ci(path, text, readme, presets)))
    for line in problems:
        print("check-workflow: " + line, file=sys.stderr)
    if problems:
        sys.exit(1)
    print("\n".join(summaries))


if __name__ == "__main__":
    main()
