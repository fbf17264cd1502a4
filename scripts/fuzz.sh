#!/usr/bin/env bash
echo "fuzz: not yet"
