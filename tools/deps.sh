#!/usr/bin/env bash
# Installs the Debian packages Tarnwick needs to build, run and test; does nothing when they are
# all present. Needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins fonts-dejavu-core
  libcurl4-openssl-dev libasound2-dev libsndfile1-dev libsqlite3-dev qt6-charts-dev libqt6opengl6-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  lintian dpkg-dev file fakeroot systemd
  python3 python3-aiosmtpd openssl sox xvfb xauth openbox x11-utils libx11-6
  clang libclang-rt-14-dev
  libcpp-httplib-dev prometheus prometheus-alertmanager
)

exec bash "$(dirname "$0")/apt-install.sh" "${packages[@]}"
